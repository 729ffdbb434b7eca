// The path logic every system shares (joining, creating a folder with its parents, the steps
// of a name beneath a root), run on each system with real folders.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/testing/temp_folder.h"
#include "platform/bounded_read.h"
#include "platform/paths.h"

namespace {

using Steps = std::vector<std::string>;

TEST(PathsShared, StepsBeneathDropEmptyAndDotStepsAndRefuseEveryWayOut) {
    EXPECT_EQ(platform::StepsBeneath("a/b/c.txt", "/"), (Steps{"a", "b", "c.txt"}));
    EXPECT_EQ(platform::StepsBeneath("//a/./b//c", "/"), (Steps{"a", "b", "c"}));
    // Only the separators given divide names.
    EXPECT_EQ(platform::StepsBeneath("a\\b", "/"), (Steps{"a\\b"}));
    EXPECT_EQ(platform::StepsBeneath("a\\b/c", "/\\"), (Steps{"a", "b", "c"}));
    // Up a step, a trailing separator (a folder), nothing at all, or a NUL byte: refused.
    for (std::string_view bad :
         {std::string_view("../x"), std::string_view("a/../../x"), std::string_view("a/.."),
          std::string_view("a/b/"), std::string_view(""), std::string_view("/./"),
          std::string_view("a\0b", 3)})
        EXPECT_EQ(platform::StepsBeneath(bad, "/"), std::nullopt) << bad;
    EXPECT_EQ(platform::StepsBeneath("a\\..\\x", "/\\"), std::nullopt);
    EXPECT_EQ(platform::StepsBeneath("a\\", "/\\"), std::nullopt);
}

TEST(PathsShared, JoinPathPutsExactlyOneSeparatorBetween) {
    EXPECT_EQ(platform::JoinPath("a", "b"), "a/b");
    EXPECT_EQ(platform::JoinPath("a/", "b"), "a/b");
    EXPECT_EQ(platform::JoinPath("a", "/b"), "a/b");
    EXPECT_EQ(platform::JoinPath("a/", "/b"), "a/b");
    EXPECT_EQ(platform::JoinPath("", "b"), "b");
    EXPECT_EQ(platform::JoinPath("a", ""), "a");
}

TEST(PathsShared, CreateFolderTreeMakesEveryParentAndTakesRepeatedSeparators) {
    common::test::CTempFolder temp("paths_shared_");
    const std::string root = temp.Path().generic_string();
    const std::string deep = root + "/one//two///three";
    EXPECT_TRUE(platform::CreateFolderTree(deep));
    EXPECT_TRUE(platform::IsDirectory(root + "/one/two/three"));
    EXPECT_TRUE(platform::CreateFolderTree(deep + "/"));  // exists already: still true
    // A file in the way of a parent is not a folder: the call fails and the file stays.
    { std::ofstream(temp.Path() / "file") << "x"; }
    EXPECT_FALSE(platform::CreateFolderTree(root + "/file/sub"));
    EXPECT_EQ(platform::FileSize(root + "/file"), 1u);
    EXPECT_FALSE(platform::CreateFolderTree(""));
}

TEST(PathsShared, FileQueriesTellFilesFoldersAndMissingPathsApart) {
    common::test::CTempFolder dir;
    std::ofstream(dir / "five", std::ios::binary) << "12345";
    std::ofstream(dir / "empty", std::ios::binary);
    EXPECT_TRUE(platform::PathExists(dir / "five"));
    EXPECT_FALSE(platform::PathExists(dir / "none"));
    EXPECT_TRUE(platform::IsDirectory(dir.Path().string()));
    EXPECT_FALSE(platform::IsDirectory(dir / "five"));
    EXPECT_EQ(platform::FileSize(dir / "five"), 5u);
    EXPECT_EQ(platform::FileSize(dir / "empty"), 0u);
    EXPECT_EQ(platform::FileSize(dir / "none"), std::nullopt);
    EXPECT_EQ(platform::FileSize(dir.Path().string()), std::nullopt);
}

}  // namespace
