#include "tavrin/import/unpack_audit.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tavrin/testing/import_test_util.h"

namespace package_import {

namespace {

namespace fs = std::filesystem;
using package_import::test::CTempFolder;

// Makes a symbolic link, or says why not: Windows makes them only with a privilege, and
// MinGW's library not at all (the Windows audit of links is tested in the platform layer).
::testing::AssertionResult Link(const fs::path& target, const fs::path& link) {
    std::error_code error;
    fs::create_symlink(target, link, error);
    if (error)
        return ::testing::AssertionFailure() << "no symbolic links here: " << error.message();
    return ::testing::AssertionSuccess();
}

TEST(UnpackAudit, WorkFolderIsCreatedFreshAndPrivate) {
    CTempFolder folder;
    const std::string work = folder / "pkg";
    ASSERT_TRUE(CreateFreshWorkFolder(work));
#ifndef _WIN32
    // Windows folders take the access rules of their parent instead.
    EXPECT_EQ(fs::status(work).permissions() & fs::perms::all, fs::perms::owner_all);
#endif
    EXPECT_FALSE(CreateFreshWorkFolder(work));  // exists already
    EXPECT_FALSE(CreateFreshWorkFolder(""));

    // A dangling link where the folder would go is not followed.
    if (auto made = Link(folder / "elsewhere", folder / "linked"); !made)
        GTEST_SKIP() << made.message();
    EXPECT_FALSE(CreateFreshWorkFolder(folder / "linked"));
    EXPECT_FALSE(fs::exists(folder / "elsewhere"));
}

TEST(UnpackAudit, ReportsWhatItRemoved) {
    CTempFolder folder;
    const std::string work = folder / "pkg";
    ASSERT_TRUE(CreateFreshWorkFolder(work));
    package_import::test::WriteFile(work + "/var/data.bak", "rows");
    package_import::test::WriteFile(folder / "outside.txt", "outside");
    if (auto made = Link(folder / "outside.txt", work + "/var/out"); !made)
        GTEST_SKIP() << made.message();

    testing::internal::CaptureStdout();
    SUnpackAudit audit = AuditUnpackedFolder(work);
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(audit.Damaged());
    ASSERT_EQ(audit.removed.size(), 1u);
    EXPECT_EQ(audit.removed[0].strPath, "var/out");
    EXPECT_STREQ(UnsafeEntryKindName(audit.removed[0].eKind), "link out");
    // 已删除审计包中不安全的条目：var/out
    EXPECT_EQ(console,
              "\xD2\xD1\xC9\xBE\xB3\xFD\xC9\xF3\xBC\xC6\xB0\xFC\xD6\xD0\xB2\xBB\xB0\xB2\xC8\xAB"
              "\xB5\xC4\xCC\xF5\xC4\xBF\xA3\xBAvar/out\n");
    EXPECT_EQ(package_import::test::ReadFile(folder / "outside.txt"), "outside");

    // A clean tree: nothing removed, nothing said.
    testing::internal::CaptureStdout();
    SUnpackAudit clean = AuditUnpackedFolder(work);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(clean.Damaged());
    EXPECT_EQ(package_import::test::ReadFile(work + "/var/data.bak"), "rows");
}

}  // namespace

}  // namespace package_import
