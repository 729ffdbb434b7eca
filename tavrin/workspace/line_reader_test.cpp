#include "tavrin/workspace/line_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "tavrin/testing/workspace_test_support.h"

namespace workspace {

namespace {

struct Read {
    std::vector<std::string> lines;
    std::vector<bool> ends;
};

Read ReadAll(const std::string& content, size_t readSize) {
    common::test::CTempFolder dir;
    workspace::test::WriteFile(dir / "f", content);
    platform::CFileReader file;
    EXPECT_TRUE(file.Open(dir / "f"));
    CLineReader reader(file, readSize);
    CLineReader::Line line;
    Read r;
    while (reader.Next(line)) {
        EXPECT_EQ(line.pData[line.nSize], '\0');
        r.lines.emplace_back(line.pData, line.nSize);
        r.ends.push_back(line.bHasLineEnd);
    }
    EXPECT_FALSE(reader.Failed());
    return r;
}

TEST(LineReader, SplitsAtLineFeedsWhateverTheReadSize) {
    const std::string content = "one\r\ntwo\n\nlone\rcr\n\r\nlast";
    const std::vector<std::string> expected = {"one", "two", "", "lone\rcr", "", "last"};
    for (size_t readSize : {1, 2, 3, 7, 1 << 20}) {
        Read r = ReadAll(content, readSize);
        EXPECT_EQ(r.lines, expected) << readSize;
        EXPECT_EQ(r.ends, (std::vector<bool>{true, true, true, true, true, false})) << readSize;
    }
    EXPECT_TRUE(ReadAll("", 4).lines.empty());
    EXPECT_EQ(ReadAll("x\n", 4).lines, std::vector<std::string>{"x"});
}

TEST(LineReader, LinesLongerThanTheBufferArriveWhole) {
    std::string longLine(100000, 'q');
    longLine[50000] = '\r';
    Read r = ReadAll("a\n" + longLine + "\r\nb", 64);
    ASSERT_EQ(r.lines.size(), 3u);
    EXPECT_EQ(r.lines[1], longLine);
    EXPECT_EQ(r.lines[2], "b");
}

}  // namespace

}  // namespace workspace
