#include "tavrin/import/archiver_version.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tavrin/testing/import_test_util.h"

namespace package_import {

namespace {

using package_import::test::CTempFolder;

TEST(ArchiverVersion, BannerForms) {
    struct Case {
        const char* banner;
        bool found;
        const char* version;
        bool acceptable;
    } cases[] = {
        {"\n7-Zip (z) 26.02 (x64) : Copyright (c) 1999-2026 Igor Pavlov : 2026-06-25\n 64-bit",
         true, "26.02", true},
        {"7-Zip (a) 26.01 (x64) : Copyright", true, "26.01", true},
        {"7-Zip (a) 25.01 (x64) : Copyright (c) 1999-2025", true, "25.01", false},
        {"7-Zip [64] 16.02 : Copyright (c) 1999-2016 Igor Pavlov : 2016-05-21\np7zip Version 16.02",
         true, "16.02", false},
        {"7-Zip 9.20  Copyright (c) 1999-2010 Igor Pavlov  2010-11-18", true, "9.20", false},
        {"7-Zip (z) 100.00 (x64)", true, "100.00", true},
        {"7-Zip 26.0 beta", true, "26.0", false},
        // No number of the form, or not 7-Zip at all: nothing found, refused.
        {"7-Zip (z) (x64) : Copyright 1999-2026", false, "", false},
        {"tar (GNU tar) 1.34", false, "", false},
        {"", false, "", false},
        // A version on a later line that is not 7-Zip's own does not count.
        {"7-Zip (z)\nsomething 27.00", false, "", false},
    };
    for (const Case& c : cases) {
        SArchiverVersion v = ParseArchiverBanner(c.banner);
        EXPECT_EQ(v.bFound, c.found) << c.banner;
        EXPECT_EQ(v.strVersion, c.version) << c.banner;
        EXPECT_EQ(v.Acceptable(), c.acceptable) << c.banner;
    }
}

TEST(ArchiverVersion, RefusalTextNamesTheVersion) {
    SArchiverVersion old = ParseArchiverBanner("7-Zip [64] 16.02 :");
    EXPECT_EQ(ArchiverRefusalText("found %s, need 26.01", old), "found 16.02, need 26.01");
    EXPECT_EQ(ArchiverRefusalText("found %s", SArchiverVersion()), "found ?");
    EXPECT_EQ(ArchiverRefusalText("no placeholder", old), "no placeholder");
}

// Writes an executable stand-in for 7z that prints banner.
void WriteFakeArchiver(const std::string& path, const std::string& banner) {
    std::filesystem::remove(path);
    package_import::test::WriteFile(path, "#!/bin/sh\necho '" + banner + "'\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

// The real archiver and the stand-ins below (shell scripts) are programs of the build machine.
#ifdef _WIN32
#define SKIP_WITHOUT_POSIX_ARCHIVER() \
    GTEST_SKIP() << "needs 7-Zip for Windows and POSIX shell-script stand-ins"
#else
#define SKIP_WITHOUT_POSIX_ARCHIVER() (void)0
#endif

TEST(ArchiverVersion, ReadsTheProgramFoldersArchiver) {
    SKIP_WITHOUT_POSIX_ARCHIVER();
    // The build links the installed 7-Zip into the program folder; the setup installs 26.01+.
    SArchiverVersion real = ReadArchiverVersion(std::string(TAVRIN_TEST_PROGRAM_DIR) + "/7z");
    EXPECT_TRUE(real.bFound);
    EXPECT_TRUE(real.Acceptable()) << real.strVersion;

    CTempFolder folder;
    SArchiverVersion missing = ReadArchiverVersion(folder / "7z");
    EXPECT_FALSE(missing.bStarted);
    EXPECT_FALSE(missing.bFound);
    WriteFakeArchiver(folder / "7z", "7-Zip (a) 25.01 (x64) : Copyright");
    SArchiverVersion old = ArchiverVersionForRun(folder / "7z");
    EXPECT_TRUE(old.bStarted);
    EXPECT_EQ(old.strVersion, "25.01");
    EXPECT_FALSE(old.Acceptable());
    // A refused archiver is read again next time; an accepted one is kept for the run.
    WriteFakeArchiver(folder / "7z", "7-Zip (a) 26.01 (x64) : Copyright");
    EXPECT_TRUE(ArchiverVersionForRun(folder / "7z").Acceptable());
    WriteFakeArchiver(folder / "7z", "7-Zip (a) 24.00 (x64) : Copyright");
    EXPECT_EQ(ArchiverVersionForRun(folder / "7z").strVersion, "26.01");
}

TEST(ArchiverVersion, HangingOrFloodingStandInIsBounded) {
    SKIP_WITHOUT_POSIX_ARCHIVER();
    CTempFolder folder;
    package_import::test::WriteFile(folder / "7z",
                                    "#!/bin/sh\nwhile :; do echo 'no banner here'; done\n");
    std::filesystem::permissions(folder / "7z", std::filesystem::perms::owner_all);
    EXPECT_FALSE(ReadArchiverVersion(folder / "7z").bFound);
}

}  // namespace

}  // namespace package_import
