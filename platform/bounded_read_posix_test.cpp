// What reading beneath a folder meets only on POSIX systems here: symbolic links (Windows
// makes them only with a privilege; its reparse points are tested in folder_tree_win32_test.cpp)
// and FIFOs.
#include "common/testing/temp_folder.h"
#include "platform/bounded_read.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using namespace platform;

TEST(BoundedReadPosix, NoLinkLeadsOutOfTheRootAndNoFifoBlocks) {
    common::test::CTempFolder temp;
    const fs::path dir = temp.Path();
    fs::create_directories(dir / "root/sub");
    const std::string root = (dir / "root").string();
    std::ofstream(dir / "secret", std::ios::binary) << "x\n";
    std::ofstream(dir / "root/sub/inside", std::ios::binary) << "y\n";
    fs::create_symlink(dir / "secret", dir / "root/out_link");
    fs::create_symlink("sub/inside", dir / "root/in_link");
    fs::create_symlink(dir, dir / "root/dir_link");

    EXPECT_FALSE(CanReadBeneath(root, "out_link"));
    EXPECT_FALSE(CanReadBeneath(root, "dir_link/secret"));
    EXPECT_FALSE(CountLinesBeneath(root, "out_link"));
    EXPECT_TRUE(CanReadBeneath(root, "sub/inside"));

    ASSERT_EQ(0, mkfifo((dir / "root/fifo").c_str(), 0600));
    EXPECT_FALSE(CanReadBeneath(root, "fifo"));  // must not block waiting for a writer
    EXPECT_FALSE(FileSizeBeneath(root, "fifo"));
}

}  // namespace
