#include "tavrin/import/archiver_progress.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "tavrin/import/archive_extractor.h"
#include "tavrin/testing/import_test_util.h"

namespace package_import {

namespace {

using package_import::test::CTempFolder;
using package_import::test::WriteFile;

TEST(ArchiverPercent, ReadsOnlyALeadingPercentage) {
    EXPECT_EQ(ArchiverPercent("  0%"), 0);
    EXPECT_EQ(ArchiverPercent(" 42% 7 - var/tmp/unix_sms_log.bak"), 42);
    EXPECT_EQ(ArchiverPercent("100%"), 100);
    EXPECT_EQ(ArchiverPercent("    "), -1);  // the blanks that wipe a text out
    EXPECT_EQ(ArchiverPercent(""), -1);
    EXPECT_EQ(ArchiverPercent("101%"), -1);
    EXPECT_EQ(ArchiverPercent("1000%"), -1);
    EXPECT_EQ(ArchiverPercent("5 %"), -1);
    EXPECT_EQ(ArchiverPercent("x 5%"), -1);
    EXPECT_EQ(ArchiverPercent("Size: 12"), -1);
}

// What 7-Zip writes to a terminal: its lines, with progress texts erased by backspaces.
const std::string kTerminalOutput =
    "\n7-Zip 26.02\n\nExtracting archive: /p/a.tar\n"
    "  0%\b\b\b\b    \b\b\b\b"
    "--\nPath = /p/a.tar\nType = tar\n\n"
    "  7% 1 - "
    "var/tmp/unix_sms_log.bak\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b"
    "                                 "
    "\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b\b"
    " 63% 2\b\b\b\b\b\b      \b\b\b\b\b\b"
    "Everything is Ok\n\nFiles: 2\nSize:       300\n";
const std::string kConsoleText =
    "\n7-Zip 26.02\n\nExtracting archive: /p/a.tar\n--\nPath = /p/a.tar\nType = tar\n\n"
    "Everything is Ok\n\nFiles: 2\nSize:       300\n";

TEST(ArchiverOutput, SeparatesTheProgressFromTheLinesInPiecesOfAnySize) {
    for (std::size_t piece :
         {kTerminalOutput.size(), std::size_t{1}, std::size_t{3}, std::size_t{17}}) {
        CArchiverOutput output;
        std::string console;
        std::vector<int> percents;
        for (std::size_t at = 0; at < kTerminalOutput.size(); at += piece) {
            output.Feed(kTerminalOutput.data() + at, std::min(piece, kTerminalOutput.size() - at),
                        &console);
            if (percents.empty() || percents.back() != output.Percent())
                percents.push_back(output.Percent());
        }
        output.Finish(&console);
        EXPECT_EQ(console, kConsoleText) << "pieces of " << piece;
        EXPECT_EQ(output.Percent(), 63);
        EXPECT_EQ(percents.back(), 63);
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    }

    // A last text without a line end still reaches the console; percentages never go back.
    CArchiverOutput output;
    std::string console;
    const std::string tail = " 50%\b\b\b\b 20%\b\b\b\bend";
    output.Feed(tail.data(), tail.size(), &console);
    EXPECT_EQ(console, "");
    output.Finish(&console);
    EXPECT_EQ(console, "end");
    EXPECT_EQ(output.Percent(), 50);
}

std::string Archiver() {
    return Make7zCommand(TAVRIN_TEST_PROGRAM_DIR);
}

TEST(RunArchiverWatched, WritesTheSameConsoleTextAsAnUnwatchedRun) {
    CTempFolder tmp;
    WriteFile(tmp / "src/var/tmp/one.bak", std::string(3 << 20, 'a'));
    WriteFile(tmp / "src/var/tmp/two.bak", "2\n");
    const std::string archive = tmp / "pkg.tar";
    ASSERT_TRUE(package_import::test::MakeTar(archive, tmp / "src", {"var"}));

    testing::internal::CaptureStdout();
    ArchiverResult plain = RunArchiver(Archiver(), archive, tmp / "plain");
    const std::string plainConsole = testing::internal::GetCapturedStdout();

    // The same folder again: the console names it.
    std::filesystem::remove_all(tmp / "plain");
    int percent = -1;
    SArchiverWatch watch;
    watch.onPercent = [&](int n) { percent = n; };
    watch.shouldStop = [] { return false; };
    testing::internal::CaptureStdout();
    ArchiverResult watched = RunArchiver(Archiver(), archive, tmp / "plain", watch);
    std::string watchedConsole = testing::internal::GetCapturedStdout();

    EXPECT_TRUE(plain.Succeeded());
    EXPECT_TRUE(watched.Succeeded());
    EXPECT_FALSE(watched.stopped);
    EXPECT_EQ(watchedConsole, plainConsole);
    EXPECT_EQ(package_import::test::ReadFile(tmp / "plain/var/tmp/one.bak").size(), 3u << 20);
    EXPECT_GE(percent, 0);  // the archiver showed at least its opening percentage
}

TEST(RunArchiverWatched, StopsAnArchiverThatIsStillWorking) {
    CTempFolder tmp;
    // An archiver that shows some progress and then works on for a long time.
    const std::string slow = tmp / "slow7z";
    WriteFile(slow, "#!/bin/sh\nprintf 'Extracting\\n 12%%\\b\\b\\b\\b'\nexec sleep 30\n");
    std::filesystem::permissions(slow, std::filesystem::perms::owner_all);

    int percent = -1;
    bool bStop = false;
    SArchiverWatch watch;
    watch.onPercent = [&](int n) {
        percent = n;
        bStop = true;  // the user presses Cancel once something shows
    };
    watch.shouldStop = [&] { return bStop; };
    testing::internal::CaptureStdout();
    const auto start = std::chrono::steady_clock::now();
    ArchiverResult r = RunArchiver("\"" + slow + "\"", tmp / "a.tar", tmp / "out", watch);
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string console = testing::internal::GetCapturedStdout();

    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.Succeeded());
    EXPECT_EQ(percent, 12);
    EXPECT_NE(console.find("Extracting\n"), std::string::npos);
    EXPECT_EQ(console.find('%'), std::string::npos);
    // 进程1退出！ as after any run that started.
    EXPECT_NE(console.find("\xBD\xF8\xB3\xCC"
                           "1"
                           "\xCD\xCB\xB3\xF6\xA3\xA1"),
              std::string::npos);
}

}  // namespace

}  // namespace package_import
