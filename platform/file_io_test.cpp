#include "platform/file_io.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>

#include "common/testing/temp_folder.h"

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FileIo, WriterBuffersSmallPiecesAndPassesLargeOnesThrough) {
    common::test::CTempFolder dir;
    platform::CFileWriter writer(8);
    ASSERT_TRUE(writer.Create(dir / "out"));
    std::string expected;
    for (int i = 0; i < 100; ++i) {
        std::string piece(static_cast<size_t>(i % 13), static_cast<char>('a' + i % 26));
        ASSERT_TRUE(writer.Write(piece));
        expected += piece;
    }
    std::string bytes("\0\xFF\r\n", 4);
    ASSERT_TRUE(writer.Write(bytes));
    expected += bytes;
    ASSERT_TRUE(writer.Close());
    EXPECT_TRUE(writer.Close());  // twice is harmless
    EXPECT_EQ(Slurp(dir / "out"), expected);

    // Creating again empties the file.
    ASSERT_TRUE(writer.Create(dir / "out"));
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ(Slurp(dir / "out"), "");
    platform::CFileWriter unopened;
    EXPECT_FALSE(unopened.Write("x", 1));
}

TEST(FileIo, ReaderReadsRegularFilesOnly) {
    common::test::CTempFolder dir;
    std::ofstream(dir / "data", std::ios::binary) << "0123456789";
    platform::CFileReader reader;
    ASSERT_TRUE(reader.Open(dir / "data"));
    char buffer[4];
    EXPECT_EQ(reader.Read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(reader.Read(buffer, 4), 4);
    EXPECT_EQ(reader.Read(buffer, 4), 2);
    EXPECT_EQ(reader.Read(buffer, 4), 0);

    // A folder is no file (FIFOs and devices: file_io_posix_test.cpp).
    EXPECT_FALSE(reader.Open(dir.Path().string()));
    EXPECT_EQ(reader.ErrorCode(), EISDIR);
    EXPECT_FALSE(reader.Open(dir / "missing"));
    EXPECT_EQ(reader.ErrorCode(), ENOENT);
    EXPECT_EQ(reader.Read(buffer, 4), -1);

    EXPECT_TRUE(platform::IsSameFile(dir / "data", (dir.Path() / "." / "data").string()));
    EXPECT_FALSE(platform::IsSameFile(dir / "data", dir / "missing"));
}

}  // namespace
