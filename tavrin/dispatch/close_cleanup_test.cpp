#include "tavrin/dispatch/close_cleanup.h"
#include "common/testing/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/process_control.h"

namespace dispatch {

namespace fs = std::filesystem;

namespace {

class CloseCleanupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_program = m_programTemp.Path();
        m_outside = m_outsideTemp.Path();
        fs::create_directories(m_program / "processid");
        fs::create_directories(m_outside / "inner");
        std::ofstream(m_outside / "keep.txt") << "keep";
        std::ofstream(m_outside / "inner" / "keep2.txt") << "keep";
    }

    // Two folders: what lies outside the program folder must outlive its clean-up.
    common::test::CTempFolder m_programTemp;
    common::test::CTempFolder m_outsideTemp;
    fs::path m_program;
    fs::path m_outside;
};

TEST_F(CloseCleanupTest, WorkFoldersGoWithReadOnlyFilesAndLinksOutLeaveTheirTargets) {
    for (const char* name : {"pkg_log_20240101_20240102", "pkg_log_20240103_20240104"}) {
        fs::create_directories(m_program / name / "var" / "utm" / "data" / "sessions");
        std::ofstream(m_program / name / (std::string(name) + "Parent.db")) << "db";
        if (!common::test::MakeSymlink(m_outside, m_program / name / "var" / "link_out", true) ||
            !common::test::MakeSymlink(m_outside / "keep.txt", m_program / name / "file_link"))
            GTEST_SKIP() << common::test::kNoSymlinks;
        // Read-only only now: a skipped test leaves nothing its clean-up could not remove.
        fs::permissions(m_program / name / (std::string(name) + "Parent.db"),
                        fs::perms::owner_read);
    }
    testing::internal::CaptureStdout();
    auto givenUp = DeleteWorkFolders(m_program.string(),
                                     {"pkg_log_20240101_20240102", "pkg_log_20240103_20240104"});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(givenUp.empty());
    EXPECT_FALSE(fs::exists(m_program / "pkg_log_20240101_20240102"));
    EXPECT_FALSE(fs::exists(m_program / "pkg_log_20240103_20240104"));
    EXPECT_TRUE(fs::exists(m_outside / "keep.txt"));
    EXPECT_TRUE(fs::exists(m_outside / "inner" / "keep2.txt"));
    EXPECT_TRUE(fs::exists(m_program / "processid"));
}

TEST_F(CloseCleanupTest, UnsafeNamesAndStubbornEntriesAreGivenUpAfterBoundedTries) {
    std::ofstream(m_program / "Tavrin") << "program";
    std::ofstream(m_program / "not_a_folder") << "file";  // no folder deletion removes a file
    fs::create_directories(m_program / "gone_already");
    fs::remove(m_program / "gone_already");

    testing::internal::CaptureStdout();
    const auto start = std::chrono::steady_clock::now();
    auto givenUp = DeleteWorkFolders(m_program.string(),
                                     {"", "..", ".", "a/b", "not_a_folder", "gone_already"}, 3, 20);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const std::string out = testing::internal::GetCapturedStdout();

    EXPECT_EQ(givenUp, (std::vector<std::string>{"", "..", ".", "a/b", "not_a_folder"}));
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    // The program folder and its parent are untouched whatever the names said.
    EXPECT_TRUE(fs::exists(m_program / "Tavrin"));
    EXPECT_TRUE(fs::exists(m_program / "not_a_folder"));
    EXPECT_TRUE(fs::exists(m_program / "processid"));
    // One console line per folder given up: "删除文件夹失败：" in GBK, then the folder.
    const std::string prefix = "\xC9\xBE\xB3\xFD\xCE\xC4\xBC\xFE\xBC\xD0\xCA\xA7\xB0\xDC\xA3\xBA";
    EXPECT_NE(out.find(prefix + m_program.string() + "/not_a_folder\n"), std::string::npos);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 5);
}

}  // namespace

}  // namespace dispatch
