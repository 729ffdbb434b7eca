// The tavrin-import command, run as a real process on generated packages. It imports beside
// itself, into the build's program folder, so every package here has a name of its own.
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "tavrin/testing/import_test_util.h"

namespace package_import {

namespace {

namespace fs = std::filesystem;
using package_import::test::CTempFolder;

struct CommandRun {
    int nStatus = -1;
    std::string strOut;
    std::string strErr;
};

CommandRun RunImport(const std::string& package) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    auto r = platform::SpawnAndWait(std::string(TAVRIN_TEST_PROGRAM_DIR) + "/tavrin-import",
                                    {"tavrin-import", package});
    CommandRun run;
    run.strOut = testing::internal::GetCapturedStdout();
    run.strErr = testing::internal::GetCapturedStderr();
    run.nStatus = r.started ? r.exitStatus : -1;
    return run;
}

// The "rows DATABASE TABLE COUNT" lines of the command's output.
std::map<std::string, long long> PrintedRows(const std::string& out, const std::string& db) {
    std::map<std::string, long long> rows;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string tag, database, table;
        long long count = 0;
        if (fields >> tag >> database >> table >> count && tag == "rows" && database == db)
            rows[table] = count;
    }
    return rows;
}

class TavrinImportCommand : public testing::Test {
  protected:
    void TearDown() override {
        for (const std::string& folder : m_cleanup) fs::remove_all(folder);
    }
    std::string WorkFolderOf(const std::string& name) {
        std::string folder = std::string(TAVRIN_TEST_PROGRAM_DIR) + "/" + name;
        m_cleanup.push_back(folder);
        return folder;
    }
    CTempFolder m_tmp;
    std::vector<std::string> m_cleanup;
};

TEST_F(TavrinImportCommand, PrintsTheGeneratorsRowCountsAndKeepsTheWorkFolder) {
    auto package = package_import::test::MakeSamplePackage(
        m_tmp / "in", {"--prefix", package_import::test::UniqueName()});
    std::string work = WorkFolderOf(package.strName);
    CommandRun run = RunImport(package.strTar);
    ASSERT_EQ(run.nStatus, 0) << run.strErr;

    auto parent = PrintedRows(run.strOut, "Parent.db");
    for (const auto& [table, rows] : package.parent) EXPECT_EQ(parent[table], rows) << table;
    EXPECT_EQ(PrintedRows(run.strOut, "child.db"), package.child);
    for (const char* step : {"unpack", "conversions", "Parent.db", "first page", "background"})
        EXPECT_NE(run.strErr.find(std::string("time  ") + step), std::string::npos) << step;
    EXPECT_TRUE(fs::exists(work + "/" + package.strName + "Parent.db"));
    EXPECT_TRUE(fs::exists(work + "/" + package.strName + "child.db"));

    // A second run finds the work folder and leaves it as it is.
    package_import::test::WriteFile(work + "/marker", "kept");
    CommandRun again = RunImport(package.strTar);
    EXPECT_EQ(again.nStatus, 2);
    EXPECT_NE(again.strErr.find("left untouched"), std::string::npos);
    EXPECT_EQ(package_import::test::ReadFile(work + "/marker"), "kept");
}

TEST_F(TavrinImportCommand, RefusesWhatIsNoPackageAndLeavesNothingBehind) {
    std::string name = package_import::test::UniqueName() + "_log_2016-09-01_2016-09-10";
    std::string bad = m_tmp / (name + ".tar");
    package_import::test::WriteFile(bad, std::string(4096, 'q'));
    std::string work = WorkFolderOf(name);
    CommandRun run = RunImport(bad);
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_NE(run.strErr.find("not a readable package"), std::string::npos) << run.strErr;
    EXPECT_FALSE(fs::exists(work));

    EXPECT_EQ(RunImport(m_tmp / "missing_log_2016-09-01_2016-09-10.tar").nStatus, 1);
    EXPECT_EQ(RunImport(m_tmp / ".tar").nStatus, 1);
}

}  // namespace

}  // namespace package_import
