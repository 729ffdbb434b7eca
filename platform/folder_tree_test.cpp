#include "platform/folder_tree.h"
#include "common/testing/temp_folder.h"
#include "platform/folder_tree_test_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class FolderTreeTest : public platform::test::CFolderTreeFixture {
  protected:
    // Makes a symbolic link, or says why the test cannot: Windows makes them only with a
    // privilege, and MinGW's library not at all.
    ::testing::AssertionResult Link(const fs::path& target, const fs::path& link) {
        std::error_code error;
        if (fs::is_directory(target))
            fs::create_directory_symlink(target, link, error);
        else
            fs::create_symlink(target, link, error);
        if (error)
            return ::testing::AssertionFailure() << "no symbolic links here: " << error.message();
        return ::testing::AssertionSuccess();
    }
};

TEST_F(FolderTreeTest, SymbolicLinksAreRemovedNeverFollowed) {
    const fs::path work = m_root / "work";
    fs::create_directories(work / "sub");
    if (auto made = Link(m_root / "outside", work / "sub" / "to_outside"); !made)
        GTEST_SKIP() << made.message();
    ASSERT_TRUE(Link(m_root / "outside" / "keep.txt", work / "file_link"));
    ASSERT_TRUE(Link(m_root / "missing", work / "dangling"));
    EXPECT_TRUE(platform::DeleteFolderTree(work.string()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(work)));
    ExpectOutsideIntact();

    // The path itself being a link: the link goes, the folder it names stays whole.
    ASSERT_TRUE(Link(m_root / "outside", m_root / "link_to_outside"));
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
    const bool links = Link(m_root / "outside", work / "lnk");
    auto names = platform::FolderEntries(work.string());
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected = links ? std::vector<std::string>{"123", "lnk", "sub"}
                                                    : std::vector<std::string>{"123", "sub"};
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(platform::FolderEntries((m_root / "nothing").string()).empty());
    // Listing through a link is refused: it would name entries of another folder.
    if (links) {
        EXPECT_TRUE(platform::FolderEntries((work / "lnk").string()).empty());
    }

    fs::permissions(work / "123", fs::perms::owner_read);  // Windows: the read-only mark
    EXPECT_TRUE(platform::MakeEntryWritable((work / "123").string()));
    EXPECT_NE(fs::status(work / "123").permissions() & fs::perms::owner_write, fs::perms::none);

    EXPECT_TRUE(platform::DeleteFileEntry((work / "123").string()));
    EXPECT_FALSE(platform::DeleteFileEntry((work / "sub").string()));
    EXPECT_TRUE(fs::is_directory(work / "sub"));
    if (links) {
        EXPECT_TRUE(platform::DeleteFileEntry((work / "lnk").string()));
    }
    ExpectOutsideIntact();
}

}  // namespace
