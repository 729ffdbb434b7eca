#include "tavrin/import/archive_listing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>

#include "tavrin/testing/import_test_util.h"

namespace package_import {

namespace {

namespace fs = std::filesystem;

TEST(ArchiveListing, SumsTheEntriesSizesButNotTheArchivesOwnBlock) {
    const std::string listing =
        "7-Zip (z) 26.02 (x64)\n\nListing archive: a.tar\n\n--\nPath = a.tar\nType = tar\n"
        "Physical Size = 10240\nHeaders Size = 9728\n\n----------\n"
        "Path = big\nFolder = -\nSize = 1073741824\nPacked Size = 0\n\n"
        "Path = small\r\nSize = 3\r\nPacked Size = 512\r\n\n"
        "Path = odd\nSize = 12x\nSize = \nSize = -4\n";
    EXPECT_EQ(DeclaredUnpackedSize(listing), 1073741827u);
    EXPECT_EQ(DeclaredUnpackedSize(""), 0u);
    // Sizes that would overflow saturate: what cannot be counted never fits.
    const std::string huge =
        "----------\nSize = 18446744073709551615\nSize = 5\n"
        "Size = 99999999999999999999999\n";
    EXPECT_EQ(DeclaredUnpackedSize(huge), std::numeric_limits<std::uint64_t>::max());
    EXPECT_FALSE(
        UnpackedSizeFits(DeclaredUnpackedSize(huge), std::numeric_limits<std::uint64_t>::max()));
    EXPECT_FALSE(UnpackedSizeFits(100, 100));
    EXPECT_TRUE(UnpackedSizeFits(100, 101));
}

TEST(ArchiveListing, TheRealArchiverDeclaresASparseMembersWholeSize) {
    package_import::test::CTempFolder tmp;
    const std::string folder = tmp.Path();
    // A sparse member of 1 GiB that takes a few kilobytes in the archive.
    {
        std::ofstream(folder + "/small") << "hi\n";
        std::ofstream big(folder + "/big");
    }
    fs::resize_file(folder + "/big", 1ull << 30);
    auto r = platform::SpawnAndWait(
        "/usr/bin/tar", {"tar", "-cSf", folder + "/-bomb.tar", "-C", folder, "big", "small"});
    ASSERT_TRUE(r.started && r.exitStatus == 0);
    ASSERT_LT(fs::file_size(folder + "/-bomb.tar"), 1u << 20);

    const std::string archiver = std::string(TAVRIN_TEST_PROGRAM_DIR) + "/7z";
    SDeclaredSize declared = ReadDeclaredSize(archiver, folder + "/-bomb.tar");
    EXPECT_EQ(declared.eState, SDeclaredSize::kKnown);
    EXPECT_EQ(declared.nBytes, (1ull << 30) + 3);

    // Not a tar: the archiver cannot list it, and unpacking will say so.
    package_import::test::WriteFile(folder + "/zip.tar", "PK\x03\x04 not a tar at all");
    EXPECT_EQ(ReadDeclaredSize(archiver, folder + "/zip.tar").eState, SDeclaredSize::kUnknown);
    // A stop request ends the listing at once, and its size cannot be vouched for.
    EXPECT_EQ(ReadDeclaredSize(archiver, folder + "/-bomb.tar", [] { return true; }).eState,
              SDeclaredSize::kCutOff);
}

}  // namespace

}  // namespace package_import
