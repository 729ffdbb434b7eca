// What reading beneath a folder meets only on POSIX systems here: symbolic links (Windows
// makes them only with a privilege; its reparse points are tested in folder_tree_win32_test.cpp)
// and FIFOs.
#include "common/testing/temp_folder.h"
#include "platform/bounded_read.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

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

// The opener keeps folders open and looks a file up from its own folder: it must still open
// exactly what OpenBeneath opens, links within the root that leave the file's folder
// included, also once it has more folders than it keeps; and it sizes exactly those files.
void CheckOpenerAgainstOpenBeneath(const fs::path& root, const std::vector<std::string>& paths,
                                   bool listFirst);

TEST(BoundedReadPosix, AnOpenerOpensExactlyWhatOpenBeneathOpens) {
    common::test::CTempFolder temp;
    const fs::path dir = temp.Path();
    const fs::path root = dir / "root";
    for (int i = 0; i < int(CBeneathOpener::kMostFolders) + 3; ++i) {
        fs::create_directories(root / ("d" + std::to_string(i)));
        std::ofstream(root / ("d" + std::to_string(i)) / "f", std::ios::binary)
            << std::string(std::size_t(i) + 1, char('a' + i));
    }
    std::ofstream(dir / "secret", std::ios::binary) << "x\n";
    fs::create_symlink("../d1/f", root / "d0/up_link");  // leaves its folder, stays beneath
    fs::create_symlink(dir / "secret", root / "d0/out_link");
    fs::create_symlink("../../secret", root / "d0/rel_out");
    fs::create_symlink(dir, root / "d0/dir_link");
    // Links to names that do not exist, within the folder and out of it (beneath the root).
    fs::create_symlink("nothing", root / "d0/dangling");
    fs::create_symlink("../d1/nothing", root / "d0/up_dangling");
    fs::create_symlink("../d1", root / "d0/up_folder");
    ASSERT_EQ(0, mkfifo((root / "d0/fifo").c_str(), 0600));
    std::vector<std::string> paths = {"d0/up_link",
                                      "d0/out_link",
                                      "d0/rel_out",
                                      "d0/dir_link/secret",
                                      "d0/fifo",
                                      "d0/../d1/f",
                                      "d0/",
                                      "d0",
                                      "/d2/f",
                                      "d0/missing",
                                      "missing/f",
                                      "d3//f",
                                      "./d4/f",
                                      "d0/dangling",
                                      "d0/up_dangling",
                                      "d0/up_folder/f",
                                      "d0/up_folder/nothing"};
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < int(CBeneathOpener::kMostFolders) + 3; ++i)
            paths.push_back("d" + std::to_string(i) + "/f");
    }
    // Then again once d0 and d1 have had enough missing names to be listed: what they hold
    // and what they do not must come out the same.
    for (const bool listed : {false, true}) {
        SCOPED_TRACE(listed ? "listed" : "not listed");
        CheckOpenerAgainstOpenBeneath(root, paths, listed);
    }
}

void CheckOpenerAgainstOpenBeneath(const fs::path& root, const std::vector<std::string>& paths,
                                   bool listFirst) {
    CBeneathOpener opener(root.string());
    CBoundedFile viaOpener, direct;
    for (unsigned i = 0; listFirst && i < CBeneathOpener::kListAfterMisses; ++i) {
        ASSERT_FALSE(opener.Open("d0/absent" + std::to_string(i), viaOpener));
        ASSERT_FALSE(opener.Open("d1/absent" + std::to_string(i), viaOpener));
    }
    for (const std::string& path : paths) {
        const bool opened = opener.Open(path, viaOpener);
        ASSERT_EQ(opened, direct.OpenBeneath(root.string(), path)) << path;
        // The size alone is found for exactly the files opened.
        const std::optional<std::uint64_t> size = opener.RegularFileSize(path);
        EXPECT_EQ(size.has_value(), opened) << path;
        if (size && opened) {
            EXPECT_EQ(*size, direct.Size()) << path;
        }
        if (!opened) {
            EXPECT_FALSE(viaOpener.IsOpen()) << path;
            continue;
        }
        char a[64] = {}, b[64] = {};
        EXPECT_EQ(viaOpener.Read(a, sizeof a), direct.Read(b, sizeof b)) << path;
        EXPECT_STREQ(a, b) << path;
        EXPECT_EQ(viaOpener.SizeAtOpen(), direct.Size()) << path;
    }
}

// Many missing names in a folder: the opener lists the folder once, at the kListAfterMisses-th,
// and from then on answers from that list (so a file created later there is not found, as the
// header says), while every file the folder held still opens.
TEST(BoundedReadPosix, AFolderOfManyMissingNamesIsAnsweredFromItsListing) {
    common::test::CTempFolder temp;
    const fs::path root = temp.Path() / "root";
    fs::create_directories(root / "d");
    std::ofstream(root / "d/f", std::ios::binary) << "held\n";
    CBeneathOpener opener(root.string());
    CBoundedFile file;
    for (unsigned i = 0; i + 1 < CBeneathOpener::kListAfterMisses; ++i)
        ASSERT_FALSE(opener.Open("d/absent" + std::to_string(i), file));
    std::ofstream(root / "d/early", std::ios::binary) << "x\n";
    EXPECT_TRUE(opener.Open("d/early", file));    // not listed yet: the system is asked
    EXPECT_FALSE(opener.Open("d/absent", file));  // the last miss: the folder is listed
    std::ofstream(root / "d/late", std::ios::binary) << "x\n";
    EXPECT_FALSE(opener.Open("d/late", file));
    EXPECT_FALSE(opener.RegularFileSize("d/late"));
    EXPECT_TRUE(file.OpenBeneath(root.string(), "d/late"));
    EXPECT_TRUE(opener.Open("d/f", file));
    EXPECT_TRUE(opener.Open("d/early", file));
    EXPECT_EQ(opener.RegularFileSize("d/f"), std::optional<std::uint64_t>(5));
}

}  // namespace
