#include "platform/folder_tree.h"
#include "common/testing/temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/test_file_limit.h"

namespace fs = std::filesystem;

namespace {

class FolderTreeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root = m_temp.Path();
        fs::create_directories(m_root / "work");
        fs::create_directories(m_root / "outside" / "deep");
        std::ofstream(m_root / "outside" / "keep.txt") << "keep";
        std::ofstream(m_root / "outside" / "deep" / "keep2.txt") << "keep";
    }
    void ExpectOutsideIntact() {
        EXPECT_TRUE(fs::exists(m_root / "outside" / "keep.txt"));
        EXPECT_TRUE(fs::exists(m_root / "outside" / "deep" / "keep2.txt"));
    }

    test_support::CTempFolder m_temp;
    fs::path m_root;
};

TEST_F(FolderTreeTest, DeletesNestedTreeWithReadOnlyFilesAndFolders) {
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

TEST_F(FolderTreeTest, DeletesATreeDeeperThanTheOpenFileLimitAndThePathLimit) {
    const fs::path work = m_root / "work";
    const std::string outside = (m_root / "outside").string();
    // 1,500 levels of 4-byte names: a path of 7,500 bytes, far more levels than descriptors.
    ASSERT_TRUE(
        platform_test::MakeNestedFolders(work.string(), "deep", 1500, [&](int fd, int level) {
            if (level % 500 == 0) {
                EXPECT_EQ(symlinkat(outside.c_str(), fd, "to_outside"), 0);
                int file = openat(fd, "ro.txt", O_WRONLY | O_CREAT, 0400);
                EXPECT_GE(file, 0);
                close(file);
            }
        }));
    {
        platform_test::CLowFileLimit limit(32);
        ASSERT_TRUE(limit.Lowered());
        EXPECT_TRUE(platform::DeleteFolderTree(work.string()));
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(work)));
    ExpectOutsideIntact();
}

TEST_F(FolderTreeTest, SymbolicLinksAreRemovedNeverFollowed) {
    const fs::path work = m_root / "work";
    fs::create_directories(work / "sub");
    fs::create_directory_symlink(m_root / "outside", work / "sub" / "to_outside");
    fs::create_symlink(m_root / "outside" / "keep.txt", work / "file_link");
    fs::create_symlink(m_root / "missing", work / "dangling");
    EXPECT_TRUE(platform::DeleteFolderTree(work.string()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(work)));
    ExpectOutsideIntact();

    // The path itself being a link: the link goes, the folder it names stays whole.
    fs::create_directory_symlink(m_root / "outside", m_root / "link_to_outside");
    EXPECT_TRUE(platform::DeleteFolderTree((m_root / "link_to_outside").string()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_root / "link_to_outside")));
    ExpectOutsideIntact();
}

TEST_F(FolderTreeTest, EmptyPathMissingFolderAndPlainFile) {
    EXPECT_TRUE(platform::DeleteFolderTree(""));
    EXPECT_FALSE(platform::DeleteFolderTree((m_root / "nothing_here").string()));
    // A file is not a folder: it is not deleted by the folder deletion.
    EXPECT_FALSE(platform::DeleteFolderTree((m_root / "outside" / "keep.txt").string()));
    ExpectOutsideIntact();
}

TEST_F(FolderTreeTest, EntryHelpers) {
    const fs::path work = m_root / "work";
    std::ofstream(work / "123");
    fs::create_directory(work / "sub");
    fs::create_symlink(m_root / "outside", work / "lnk");
    auto names = platform::FolderEntries(work.string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"123", "lnk", "sub"}));
    EXPECT_TRUE(platform::FolderEntries((m_root / "nothing").string()).empty());
    // Listing through a link is refused: it would name entries of another folder.
    EXPECT_TRUE(platform::FolderEntries((work / "lnk").string()).empty());

    chmod((work / "123").c_str(), 0400);
    EXPECT_TRUE(platform::MakeEntryWritable((work / "123").string()));
    struct stat st;
    ASSERT_EQ(stat((work / "123").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);

    EXPECT_TRUE(platform::DeleteFileEntry((work / "123").string()));
    EXPECT_FALSE(platform::DeleteFileEntry((work / "sub").string()));
    EXPECT_TRUE(fs::is_directory(work / "sub"));
    EXPECT_TRUE(platform::DeleteFileEntry((work / "lnk").string()));
    ExpectOutsideIntact();
}

}  // namespace
