#include "morvel/line_reader.h"
#include "common/testing/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/process_control.h"

namespace morvel {

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

TEST(MorvelLineSplitting, LineEndsAndLastLines) {
    EXPECT_EQ(SplitLines("a\r\nb\r\n"), SplitLines("a\nb\n"));
    EXPECT_EQ(SplitLines("a\nb\n"), (Lines{"a", "b"}));
    EXPECT_EQ(SplitLines("a\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(SplitLines("a\n\nb\n"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitLines("\n"), (Lines{""}));
    EXPECT_EQ(SplitLines(""), Lines{});
    // Only a carriage return right before a line feed is a line end.
    EXPECT_EQ(SplitLines("a\rb\r\r\n"), (Lines{"a\rb\r"}));
    // Bytes are kept as they are, whatever the code page makes of them.
    EXPECT_EQ(SplitLines(std::string("\xB4\xF2\xFF\x00z\n", 6)),
              (Lines{std::string("\xB4\xF2\xFF\x00z", 5)}));
}

TEST(MorvelLineSplitting, PiecesSplitAnywhereGiveTheSameLines) {
    const std::string text = "first\r\nsecond\r\n\r\nlast";
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        Lines lines;
        CLineSplitter splitter(lines);
        splitter.Feed(std::string_view(text).substr(0, cut));
        splitter.Feed(std::string_view(text).substr(cut));
        splitter.Finish();
        EXPECT_EQ(lines, (Lines{"first", "second", "", "last"})) << "cut at " << cut;
    }
}

class MorvelScanFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root = m_temp.Path();
        fs::create_directories(m_root / "pkg");
    }
    void Write(const fs::path& p, const std::string& text) {
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
    }
    common::test::CTempFolder m_temp;
    fs::path m_root;
};

TEST_F(MorvelScanFileTest, ReadsLargeFilesInStepsAndSkipsFolders) {
    std::string big;
    for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + "\r\n";
    Write(m_root / "pkg/big", big);
    Lines lines{"kept"};
    EXPECT_EQ(ReadScanFile((m_root / "pkg").string(), "big", lines), ScanFileRead::kRead);
    ASSERT_EQ(lines.size(), 20001u);
    EXPECT_EQ(lines[1], "line 0");
    EXPECT_EQ(lines.back(), "line 19999");

    fs::create_directory(m_root / "pkg/dir");
    Lines none;
    EXPECT_EQ(ReadScanFile((m_root / "pkg").string(), "dir", none), ScanFileRead::kSkipped);
    EXPECT_EQ(ReadScanFile((m_root / "pkg").string(), "missing", none), ScanFileRead::kSkipped);
    EXPECT_TRUE(none.empty());
}

}  // namespace morvel
