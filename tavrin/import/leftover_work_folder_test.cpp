#include "tavrin/import/leftover_work_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tavrin/testing/import_test_util.h"

namespace package_import {

namespace {

namespace fs = std::filesystem;

TEST(LeftoverWorkFolder, OnlyARealFolderOfAnEarlierRunIsOfferedForDeletion) {
    package_import::test::CTempFolder tmp;
    const std::string prog = tmp.Path();
    fs::create_directories(prog + "/outside/data");
    package_import::test::WriteFile(prog + "/outside/data/keep", "keep");
    fs::create_directories(prog + "/left/var");
    package_import::test::WriteFile(prog + "/left/var/x", "x");
    package_import::test::WriteFile(prog + "/file", "f");
    if (!common::test::MakeSymlink(prog + "/outside", prog + "/link", true) ||
        !common::test::MakeSymlink(prog + "/nowhere", prog + "/dangling"))
        GTEST_SKIP() << common::test::kNoSymlinks;

    EXPECT_EQ(WorkFolderState(prog + "/none"), EWorkFolderState::kAbsent);
    EXPECT_EQ(WorkFolderState(prog + "/left"), EWorkFolderState::kRealFolder);
    for (const char* other : {"file", "link", "dangling"})
        EXPECT_EQ(WorkFolderState(prog + "/" + other), EWorkFolderState::kOther) << other;

    EXPECT_EQ(DecideImportStart(EWorkFolderState::kAbsent, false), EImportStart::kImport);
    EXPECT_EQ(DecideImportStart(EWorkFolderState::kRealFolder, true), EImportStart::kOpenImported);
    EXPECT_EQ(DecideImportStart(EWorkFolderState::kRealFolder, false), EImportStart::kAskLeftover);
    EXPECT_EQ(DecideImportStart(EWorkFolderState::kOther, false), EImportStart::kRefuse);
    EXPECT_EQ(DecideImportStart(EWorkFolderState::kOther, true), EImportStart::kRefuse);

    // A link is never deleted through, nor is anything that is not a folder.
    EXPECT_FALSE(DeleteLeftoverWorkFolder(prog + "/link"));
    EXPECT_FALSE(DeleteLeftoverWorkFolder(prog + "/file"));
    EXPECT_EQ(package_import::test::ReadFile(prog + "/outside/data/keep"), "keep");
    EXPECT_TRUE(fs::is_symlink(prog + "/link"));
    EXPECT_TRUE(DeleteLeftoverWorkFolder(prog + "/left"));
    EXPECT_FALSE(fs::exists(prog + "/left"));
}

}  // namespace

}  // namespace package_import
