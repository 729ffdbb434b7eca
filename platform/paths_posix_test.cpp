#include "platform/paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "common/testing/temp_folder.h"

namespace {

// Sets or clears TAVRIN_PROGRAM_DIR for one scope and restores it afterwards.
struct ProgramDirOverride {
    std::string saved;
    bool had;
    explicit ProgramDirOverride(const char* value) {
        const char* old = getenv("TAVRIN_PROGRAM_DIR");
        had = old != nullptr;
        if (had) saved = old;
        if (value) {
            setenv("TAVRIN_PROGRAM_DIR", value, 1);
        } else {
            unsetenv("TAVRIN_PROGRAM_DIR");
        }
    }
    ~ProgramDirOverride() {
        if (had) {
            setenv("TAVRIN_PROGRAM_DIR", saved.c_str(), 1);
        } else {
            unsetenv("TAVRIN_PROGRAM_DIR");
        }
    }
};

TEST(Paths, ProgramFolderIsTheExecutablesFolderUnlessOverridden) {
    {
        ProgramDirOverride none(nullptr);
        std::string folder = platform::ProgramFolder();
        EXPECT_EQ(folder, std::filesystem::canonical("/proc/self/exe").parent_path().string());
        EXPECT_NE(folder.back(), '/');
    }
    {
        ProgramDirOverride set("/opt/V//");
        EXPECT_EQ(platform::ProgramFolder(), "/opt/V");
    }
}

TEST(Paths, JoinPathPutsExactlyOneSeparatorBetweenPieces) {
    EXPECT_EQ(platform::JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(platform::JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(platform::JoinPath("/a", "/b"), "/a/b");
    EXPECT_EQ(platform::JoinPath("/a/", "/b"), "/a/b");
    EXPECT_EQ(platform::JoinPath("", "b"), "b");
    EXPECT_EQ(platform::JoinPath("a", ""), "a");
    // Bytes of any encoding pass through (a GBK name from package data).
    EXPECT_EQ(platform::JoinPath("/w", "\xC9\xF3\xBC\xC6.log"), "/w/\xC9\xF3\xBC\xC6.log");
}

TEST(Paths, FoldersAreCreatedOnceWithTheirModeAndTreesWithTheirParents) {
    common::test::CTempFolder dir;
    ASSERT_TRUE(platform::CreateFolder(dir / "w", 0700));
    EXPECT_FALSE(platform::CreateFolder(dir / "w", 0700));  // already there
    struct stat st;
    ASSERT_EQ(stat((dir / "w").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_FALSE(platform::CreateFolder(dir / "x/y"));  // parent missing

    EXPECT_TRUE(platform::CreateFolderTree(dir / "t/var/tmp/backup_log"));
    EXPECT_TRUE(platform::IsDirectory(dir / "t/var/tmp/backup_log"));
    EXPECT_TRUE(platform::CreateFolderTree(dir / "t/var/"));  // existing, trailing separator
    std::ofstream(dir / "file") << "x";
    EXPECT_FALSE(platform::CreateFolderTree(dir / "file/sub"));
    EXPECT_FALSE(platform::CreateFolderTree(""));
}

}  // namespace
