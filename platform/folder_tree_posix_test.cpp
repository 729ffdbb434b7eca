// What only POSIX file systems have: folders the owner may not search, and trees deeper than
// the descriptors a process may open.
#include "common/testing/temp_folder.h"
#include "platform/folder_tree.h"
#include "platform/folder_tree_test_fixture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/test_file_limit.h"

namespace fs = std::filesystem;

namespace {

class FolderTreePosixTest : public platform::test::CFolderTreeFixture {};

TEST_F(FolderTreePosixTest, DeletesNestedTreeWithReadOnlyFilesAndFolders) {
    const fs::path work = m_root / "work";
    fs::create_directories(work / "var" / "utm" / "data");
    std::ofstream(work / "a.db") << "x";
    std::ofstream(work / "var" / "utm" / "data" / "r1.rec") << "x";
    chmod((work / "a.db").c_str(), 0400);
    chmod((work / "var" / "utm" / "data" / "r1.rec").c_str(), 0444);
    // A folder the owner may neither write nor search would keep its files without the fix-up.
    chmod((work / "var" / "utm" / "data").c_str(), 0500);
    chmod((work / "var").c_str(), 0400);
    EXPECT_TRUE(platform::DeleteFolderTree(work.string()));
    EXPECT_FALSE(fs::exists(work));
}

TEST_F(FolderTreePosixTest, DeletesATreeDeeperThanTheOpenFileLimitAndThePathLimit) {
    const fs::path work = m_root / "work";
    const std::string outside = (m_root / "outside").string();
    // 1,500 levels of 4-byte names: a path of 7,500 bytes, far more levels than descriptors.
    ASSERT_TRUE(
        platform::test::MakeNestedFolders(work.string(), "deep", 1500, [&](int fd, int level) {
            if (level % 500 == 0) {
                EXPECT_EQ(symlinkat(outside.c_str(), fd, "to_outside"), 0);
                int file = openat(fd, "ro.txt", O_WRONLY | O_CREAT, 0400);
                EXPECT_GE(file, 0);
                close(file);
            }
        }));
    {
        platform::test::CLowFileLimit limit(32);
        ASSERT_TRUE(limit.Lowered());
        EXPECT_TRUE(platform::DeleteFolderTree(work.string()));
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(work)));
    ExpectOutsideIntact();
}

}  // namespace
