#include "platform/bounded_read.h"
#include "common/testing/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;
using namespace platform;

class BoundedRead : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = m_temp.Path();
        fs::create_directories(m_dir / "root/sub");
        m_root = (m_dir / "root").string();
    }
    void Write(const fs::path& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    }
    common::test::CTempFolder m_temp;
    fs::path m_dir;
    std::string m_root;
};

TEST_F(BoundedRead, CountsLinesLikeALineReader) {
    struct Case {
        const char* bytes;
        std::uint64_t lines;
    };
    for (Case c : {Case{"", 0}, Case{"a", 1}, Case{"a\n", 1}, Case{"a\nb", 2},
                   Case{"a\r\nb\r\n", 2}, Case{"\n\n\n", 3}}) {
        Write(m_dir / "root/sub/f", c.bytes);
        EXPECT_EQ(c.lines, CountLinesBeneath(m_root, "/sub/f").value_or(999))
            << '[' << c.bytes << ']';
    }
}

TEST_F(BoundedRead, CountsAcrossReadSteps) {
    // 200000 lines of 7 bytes: several 64 KiB steps, with lines split between them.
    std::string big;
    for (int i = 0; i < 200000; ++i) big += "line..\n";
    big += "tail";
    Write(m_dir / "root/big", big);
    EXPECT_EQ(200001u, CountLinesBeneath(m_root, "big").value_or(0));
    EXPECT_EQ(big.size(), FileSizeBeneath(m_root, "big").value_or(0));
}

TEST_F(BoundedRead, StaysBeneathTheRoot) {
    Write(m_dir / "secret", "x\n");
    Write(m_dir / "root/sub/inside", "y\n");

    EXPECT_FALSE(CanReadBeneath(m_root, "../secret"));
    EXPECT_FALSE(CanReadBeneath(m_root, "sub/../../secret"));
    // A leading '/' means the root itself, not the file system's root.
    EXPECT_FALSE(CanReadBeneath(m_root, "/etc/passwd"));
    EXPECT_TRUE(CanReadBeneath(m_root, "/sub/inside"));
    EXPECT_TRUE(CanReadBeneath(m_root, "sub/./inside"));
    EXPECT_EQ(1u, CountLinesBeneath(m_root, "sub/inside").value_or(0));
}

TEST_F(BoundedRead, OpensRegularFilesOnly) {
    EXPECT_FALSE(CanReadBeneath(m_root, "sub"));
    EXPECT_FALSE(CanReadBeneath(m_root, ""));
    EXPECT_FALSE(CanReadBeneath(m_root, "/"));
    EXPECT_FALSE(CanReadBeneath(m_root, "missing"));
    EXPECT_FALSE(CanReadBeneath((m_dir / "nowhere").string(), "x"));
}

TEST_F(BoundedRead, FileObjectReadsAndMoves) {
    Write(m_dir / "root/f", "hello");
    CBoundedFile file;
    ASSERT_TRUE(file.OpenBeneath(m_root, "f"));
    EXPECT_EQ(5u, file.Size());
    CBoundedFile moved(std::move(file));
    EXPECT_FALSE(file.IsOpen());
    char buf[3];
    EXPECT_EQ(3, moved.Read(buf, sizeof buf));
    EXPECT_EQ(2, moved.Read(buf, sizeof buf));
    EXPECT_EQ(0, moved.Read(buf, sizeof buf));
    moved.Close();
    EXPECT_EQ(-1, moved.Read(buf, sizeof buf));
    EXPECT_FALSE(moved.OpenBeneath(m_root, "none"));
    EXPECT_FALSE(moved.IsOpen());
}

}  // namespace
