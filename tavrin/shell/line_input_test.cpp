#include "tavrin/shell/line_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tavrin/shell/shell_test_support.h"

namespace shell {

namespace {

using test::CTempFolder;

std::vector<std::string> readAll(const std::string& path, bool quoteAware) {
    std::vector<std::string> lines;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    while (std::optional<std::string> line = readLine(in, quoteAware)) lines.push_back(*line);
    std::fclose(in);
    return lines;
}

std::vector<std::string> readAllFast(const std::string& path, size_t blockSize) {
    std::vector<std::string> lines;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    CLineReader reader(in, blockSize);
    while (reader.next()) {
        EXPECT_EQ(reader.line()[reader.length()], '\0');
        lines.emplace_back(reader.line(), reader.length());
    }
    std::fclose(in);
    return lines;
}

TEST(ReadLine, LineEndsAndEmptyLines) {
    CTempFolder folder;
    std::string path = (folder / "in.txt");
    test::writeFile(path, "one\r\n\ntwo\r\r\nlast\r");
    // CR LF and LF end lines; one CR before the LF goes; a CR at the very end stays.
    EXPECT_EQ(readAll(path, false), (std::vector<std::string>{"one", "", "two\r", "last\r"}));
    test::writeFile(path, "no line end");
    EXPECT_EQ(readAll(path, false), (std::vector<std::string>{"no line end"}));
    test::writeFile(path, "");
    EXPECT_TRUE(readAll(path, false).empty());
    test::writeFile(path, "\n");
    EXPECT_EQ(readAll(path, false), (std::vector<std::string>{""}));
}

TEST(ReadLine, QuoteAwareJoinsLinesInsideAnOpenQuote) {
    CTempFolder folder;
    std::string path = (folder / "in.txt");
    test::writeFile(path, "a,\"b\r\nc\",d\r\nnext\n\"open\nto end");
    EXPECT_EQ(readAll(path, true),
              (std::vector<std::string>{"a,\"b\r\nc\",d", "next", "\"open\nto end"}));
    EXPECT_EQ(readAll(path, false),
              (std::vector<std::string>{"a,\"b", "c\",d", "next", "\"open", "to end"}));
}

TEST(ReadLine, ReadsNothingPastTheLine) {
    CTempFolder folder;
    std::string path = (folder / "in.txt");
    test::writeFile(path, "first\nsecond\n");
    std::FILE* in = std::fopen(path.c_str(), "rb");
    EXPECT_EQ(readLine(in, false).value(), "first");
    char rest[16] = {};
    ASSERT_NE(std::fgets(rest, sizeof rest, in), nullptr);
    EXPECT_STREQ(rest, "second\n");
    std::fclose(in);
}

TEST(CLineReader, GivesTheSameLinesAsQuoteAwareReadLineAtAnyBlockSize) {
    CTempFolder folder;
    std::string path = (folder / "in.txt");
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += "row" + std::to_string(i) + "\t\"q" + std::string(i % 37, 'x') +
                (i % 5 == 0 ? "\r\n" : "") + "\"\t" + std::string(i % 13, 'y') +
                (i % 3 ? "\r\n" : "\n");
        if (i % 50 == 0) text += "\n";
    }
    text += "\"unterminated\nlast\r";
    test::writeFile(path, text);
    std::vector<std::string> expected = readAll(path, true);
    for (size_t block : {size_t(16), size_t(17), size_t(100), size_t(4096), size_t(1) << 20}) {
        EXPECT_EQ(readAllFast(path, block), expected) << "block " << block;
    }
}

TEST(CLineReader, CountsQuotesOfEachLine) {
    CTempFolder folder;
    std::string path = (folder / "in.txt");
    test::writeFile(path, "plain\n\"a\"\"b\"\n");
    std::FILE* in = std::fopen(path.c_str(), "rb");
    CLineReader reader(in, 16);
    ASSERT_TRUE(reader.next());
    EXPECT_EQ(reader.quoteCount(), 0u);
    ASSERT_TRUE(reader.next());
    EXPECT_EQ(reader.quoteCount(), 4u);
    EXPECT_FALSE(reader.next());
    std::fclose(in);
}

}  // namespace

}  // namespace shell
