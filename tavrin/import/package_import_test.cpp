#include "tavrin/import/package_import.h"

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "common/db_handle.h"
#include "platform/disk_space.h"
#include "tavrin/import/archive_extractor.h"
#include "tavrin/import/import_progress.h"
#include "tavrin/testing/import_test_util.h"
#include "tavrin/workspace/sql_loader.h"

namespace package_import {

namespace {

namespace fs = std::filesystem;
using package_import::test::CTempFolder;
using package_import::test::SamplePackage;

TEST(DiskSpace, RefusesExactlyOneAndAHalfTimesTheSize) {
    EXPECT_FALSE(DiskSpaceSuffices(1000, 1500));
    EXPECT_TRUE(DiskSpaceSuffices(1000, 1501));
    // 1.5 x 3 = 4.5 is truncated to 4 bytes needed.
    EXPECT_FALSE(DiskSpaceSuffices(3, 4));
    EXPECT_TRUE(DiskSpaceSuffices(3, 5));
    EXPECT_TRUE(DiskSpaceSuffices(0, 1));
    EXPECT_FALSE(DiskSpaceSuffices(0, 0));
    EXPECT_FALSE(DiskSpaceSuffices(UINT64_MAX, UINT64_MAX));  // no overflow into "enough"

    CTempFolder tmp;
    package_import::test::WriteFile(tmp / "p.tar", std::string(1000, 'x'));
    platform::SetFreeBytesOverride(1500);
    EXPECT_FALSE(CheckDiskSpace(tmp / "p.tar", tmp.Path()));
    platform::SetFreeBytesOverride(1501);
    EXPECT_TRUE(CheckDiskSpace(tmp / "p.tar", tmp.Path()));
    // Missing files and folders are not packages, whatever the free space.
    EXPECT_FALSE(CheckDiskSpace(tmp / "missing.tar", tmp.Path()));
    EXPECT_FALSE(CheckDiskSpace(tmp.Path(), tmp.Path()));
    platform::SetFreeBytesOverride(std::nullopt);
    EXPECT_TRUE(CheckDiskSpace(tmp / "p.tar", tmp.Path()));
}

class PackageImportTest : public testing::Test {
  protected:
    void SetUp() override {
        m_strProgram = m_tmp / "program folder";
        package_import::test::LayOutProgramFolder(m_strProgram);
    }

    // Runs every step as the dialog does, with the child rows loaded on this thread.
    UnpackOutcome ImportAll(CPackageImport& import) {
        testing::internal::CaptureStdout();
        EXPECT_TRUE(import.CheckDiskSpace());
        EXPECT_FALSE(import.WorkFolderExists());
        EXPECT_TRUE(import.CreateWorkFolder());
        UnpackOutcome outcome = import.Unpack(Make7zCommand(m_strProgram));
        if (outcome == UnpackOutcome::kUnpacked || outcome == UnpackOutcome::kDamaged) {
            import.ConvertDumps();
            import.LoadParentDb();
            DbHandle child;
            OpenDbHandle(child, import.Paths().ChildDbPath());
            import.CreateChildTables(child);
            EXPECT_EQ(import.LoadChildRows(child), 1);
            child.Close();
        }
        m_strConsole = testing::internal::GetCapturedStdout();
        return outcome;
    }

    CTempFolder m_tmp;
    std::string m_strProgram;
    std::string m_strConsole;
};

TEST_F(PackageImportTest, FillsBothDatabasesWithEveryRowOfThePackage) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    CPackageImport import(m_strProgram, package.strTar);
    ASSERT_EQ(ImportAll(import), UnpackOutcome::kUnpacked) << m_strConsole;

    EXPECT_TRUE(import.HasTabTable());
    EXPECT_TRUE(import.HasMatrixTable());
    EXPECT_EQ(import.Paths().WorkFolder(), m_strProgram + "/" + package.strName);
    auto parent = package_import::test::TableCounts(import.Paths().ParentDbPath());
    for (const auto& [table, rows] : package.parent) EXPECT_EQ(parent[table], rows) << table;
    auto child = package_import::test::TableCounts(import.Paths().ChildDbPath());
    EXPECT_EQ(child, package.child);

    // Escaped quotes arrive as plain quotes, GBK bytes untouched.
    auto content = package_import::test::DatabaseContent(import.Paths().ParentDbPath());
    bool sawScanQuote = false, sawMatrixText = false;
    for (const std::string& line : content) {
        if (line.rfind("utm_dba_scan|", 0) == 0 && line.find("\" ") != std::string::npos &&
            line.find("\\\"") == std::string::npos)
            sawScanQuote = true;
        if (line.rfind("w_text_matrix|", 0) == 0 &&
            line.find("C:\\Windows\\") != std::string::npos && line.find('"') == std::string::npos)
            sawMatrixText = true;
    }
    EXPECT_TRUE(sawScanQuote);
    EXPECT_TRUE(sawMatrixText);
    // Session files are where the rows say they are.
    EXPECT_TRUE(fs::exists(import.Paths().SessionsFolder() + "s0000001"));
}

TEST_F(PackageImportTest, LeavesOutTheOptionalTablesWhenTheirDumpsAreMissing) {
    SamplePackage package = package_import::test::MakeSamplePackage(
        m_tmp / "in", {"--no-tab", "--no-matrix", "--kind", "web"});
    CPackageImport import(m_strProgram, package.strTar);
    ASSERT_EQ(ImportAll(import), UnpackOutcome::kUnpacked) << m_strConsole;
    EXPECT_FALSE(import.HasTabTable());
    EXPECT_FALSE(import.HasMatrixTable());
    EXPECT_NE(import.Paths().DumpFolder().find("/data_web_2016-09-01_2016-09-10"),
              std::string::npos);
    auto parent = package_import::test::TableCounts(import.Paths().ParentDbPath());
    EXPECT_EQ(parent["vsms_xapp_tab"], 0);
    EXPECT_EQ(parent["w_text_matrix"], 0);
    EXPECT_EQ(parent["unix_sms_log"], package.parent["unix_sms_log"]);
}

TEST_F(PackageImportTest, RefusesAFileThatIsNoPackageAndLeavesNoWorkFolder) {
    package_import::test::WriteFile(m_tmp / "in/x_log_2016-09-01_2016-09-10.tar",
                                    std::string(5000, 'Z'));
    // A real tar without the appliance's dumps is no package either.
    package_import::test::WriteFile(m_tmp / "src/readme.txt", "hello");
    ASSERT_TRUE(package_import::test::MakeTar(m_tmp / "in/y_log_2016-09-01_2016-09-10.tar",
                                              m_tmp / "src", {"readme.txt"}));
    for (const char* name :
         {"x_log_2016-09-01_2016-09-10.tar", "y_log_2016-09-01_2016-09-10.tar"}) {
        CPackageImport import(m_strProgram, m_tmp / (std::string("in/") + name));
        EXPECT_EQ(ImportAll(import), UnpackOutcome::kNotAPackage) << name;
        testing::internal::CaptureStdout();
        EXPECT_TRUE(import.RemoveWorkFolder());
        std::string console = testing::internal::GetCapturedStdout();
        EXPECT_EQ(console, "\xC9\xBE\xB3\xFD\xCE\xC4\xBC\xFE\xBC\xD0\xB3\xC9\xB9\xA6\xA3\xA1");
        EXPECT_FALSE(fs::exists(import.Paths().WorkFolder())) << name;
    }
}

TEST_F(PackageImportTest, GoesOnWithADamagedPackageButSaysSo) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    // Cut the archive short: the dumps come first, the session files are lost.
    std::string bytes = package_import::test::ReadFile(package.strTar);
    std::string cut =
        m_tmp / ("in/cut_" + package.strName.substr(package.strName.find('_') + 1) + ".tar");
    package_import::test::WriteFile(cut, bytes.substr(0, bytes.size() * 2 / 3 + 100));
    CPackageImport import(m_strProgram, cut);
    ASSERT_EQ(ImportAll(import), UnpackOutcome::kDamaged) << m_strConsole;
    auto parent = package_import::test::TableCounts(import.Paths().ParentDbPath());
    EXPECT_EQ(parent["unix_sms_log"], package.parent["unix_sms_log"]);
}

TEST_F(PackageImportTest, ReportsAMissingArchiverAndAWorkFolderThatCannotBeMade) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    fs::remove(m_strProgram + "/7z");
    CPackageImport import(m_strProgram, package.strTar);
    EXPECT_EQ(ImportAll(import), UnpackOutcome::kNotStarted);
    EXPECT_NE(m_strConsole.find("\xD4\xCB\xD0\xD0\xCA\xA7\xB0\xDC\xA3\xA1"), std::string::npos);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(import.RemoveWorkFolder());
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(fs::exists(import.Paths().WorkFolder()));

    CPackageImport nowhere(m_tmp / "no such folder", package.strTar);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(nowhere.CreateWorkFolder());
    std::string console = testing::internal::GetCapturedStdout();
    // 创建文件夹失败！ followed by the error code, no line end.
    EXPECT_EQ(console, "\xB4\xB4\xBD\xA8\xCE\xC4\xBC\xFE\xBC\xD0\xCA\xA7\xB0\xDC\xA3\xA1" +
                           std::to_string(ENOENT));
}

TEST_F(PackageImportTest, NeverUsesANameThatWouldMakeTheProgramFolderTheWorkFolder) {
    for (const char* name : {".tar", "..tar", "...tar"}) {
        package_import::test::WriteFile(m_tmp / name, "x");
        CPackageImport import(m_strProgram, m_tmp / name);
        EXPECT_FALSE(import.HasUsableName()) << name;
        EXPECT_FALSE(import.WorkFolderExists()) << name;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(import.CreateWorkFolder()) << name;
        EXPECT_FALSE(import.RemoveWorkFolder()) << name;
        testing::internal::GetCapturedStdout();
    }
    EXPECT_TRUE(fs::exists(m_strProgram + "/table.sql"));
}

}  // namespace

namespace {

TEST_F(PackageImportTest, ReportsItsStepsWithoutChangingWhatItLoadsOrPrints) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    CPackageImport plain(m_strProgram, package.strTar);
    ASSERT_EQ(ImportAll(plain), UnpackOutcome::kUnpacked) << m_strConsole;
    const std::string plainConsole = m_strConsole;
    const auto plainParent = package_import::test::DatabaseContent(plain.Paths().ParentDbPath());
    fs::remove_all(plain.Paths().WorkFolder());

    CImportProgress progress;
    CPackageImport watched(m_strProgram, package.strTar);
    watched.SetProgress(&progress);
    ASSERT_EQ(ImportAll(watched), UnpackOutcome::kUnpacked) << m_strConsole;
    EXPECT_FALSE(watched.Cancelled());
    EXPECT_EQ(m_strConsole, plainConsole);
    EXPECT_EQ(package_import::test::DatabaseContent(watched.Paths().ParentDbPath()), plainParent);
    EXPECT_EQ(package_import::test::TableCounts(watched.Paths().ChildDbPath()), package.child);

    // The last step was the split of the SQL dump, read to its end.
    const SImportProgress last = progress.Snapshot();
    EXPECT_EQ(last.eStep, ImportStep::kSplitting);
    EXPECT_EQ(last.strFile, "sub_table_sms.sql");
    EXPECT_GT(last.nTotal, 0u);
    EXPECT_EQ(last.nDone, last.nTotal);
}

TEST_F(PackageImportTest, DoesNothingMoreOnceTheUserCancelled) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    CImportProgress progress;
    progress.RequestCancel();
    CPackageImport early(m_strProgram, package.strTar);
    early.SetProgress(&progress);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(early.CreateWorkFolder());
    EXPECT_EQ(early.Unpack(Make7zCommand(m_strProgram)), UnpackOutcome::kCancelled);
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(console.find(" x -ttar"), std::string::npos) << "the archiver ran: " << console;
    EXPECT_TRUE(early.RemoveWorkFolder());

    // Cancelled after unpacking: no conversion and no database follow.
    CImportProgress later;
    CPackageImport late(m_strProgram, package.strTar);
    late.SetProgress(&later);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(late.CreateWorkFolder());
    ASSERT_EQ(late.Unpack(Make7zCommand(m_strProgram)), UnpackOutcome::kUnpacked);
    later.RequestCancel();
    late.ConvertDumps();
    late.LoadParentDb();
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(late.Cancelled());
    EXPECT_FALSE(fs::exists(late.Paths().DumpPath("w_text_matrix1.bak")));
    EXPECT_FALSE(fs::exists(late.Paths().WorkPath("utm_dba_scan.bak")));
    EXPECT_FALSE(fs::exists(late.Paths().ParentDbPath()));
}

// Unpacking in two runs: the first leaves unix_sms_log's dump alone, which loads while the
// second unpacks the rest; the package ends up as one run leaves it, and Parent.db's files are
// never taken from the archive while the first table loads into them.
TEST_F(PackageImportTest, TwoRunUnpackingLoadsTheFirstTableFirstAndEndsAsOneRun) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    // A Parent.db planted at the end of the archive, where the first table is being loaded.
    package_import::test::WriteFile(m_tmp / ("plant/" + package.strName + "Parent.db"), "planted");
    ASSERT_TRUE(package_import::test::MakeTar(package.strTar, m_tmp / "plant",
                                              {package.strName + "Parent.db"}, true));
    CPackageImport import(m_strProgram, package.strTar);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(import.CreateWorkFolder());
    ASSERT_EQ(import.UnpackFirstTable(Make7zCommand(m_strProgram)), UnpackOutcome::kUnpacked);
    EXPECT_TRUE(fs::is_regular_file(import.Paths().DumpPath("unix_sms_log.bak")));
    EXPECT_FALSE(fs::exists(import.Paths().SqlDumpPath()));
    EXPECT_FALSE(fs::exists(import.Paths().SessionsFolder()));
    import.StartUnpackRest(Make7zCommand(m_strProgram));
    import.LoadFirstTable();
    EXPECT_EQ(import.FinishUnpack(), UnpackOutcome::kUnpacked);
    import.ConvertTextMatrix();
    workspace::SLoadReport later;
    LoadLaterDumps(import.Paths(), import.HasTabTable(), import.HasMatrixTable(), nullptr, later);
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(import.HasTabTable());
    EXPECT_TRUE(import.HasMatrixTable());
    EXPECT_FALSE(import.LoadIncomplete()) << console;
    auto parent = package_import::test::TableCounts(import.Paths().ParentDbPath());
    for (const auto& [table, rows] : package.parent) EXPECT_EQ(parent[table], rows) << table;
    EXPECT_NE(package_import::test::ReadFile(import.Paths().ParentDbPath()), "planted");
    EXPECT_TRUE(fs::exists(import.Paths().SessionsFolder() + "s0000001"));
    // The second run left the first dump alone: it was unpacked once.
    EXPECT_EQ(
        console.find("-x!\"var/tmp/backup_log/data_2016-09-01_2016-09-10/unix_sms_log.bak\""),
        console.rfind("-x!\"var/tmp/backup_log/data_2016-09-01_2016-09-10/unix_sms_log.bak\""))
        << console;
    EXPECT_NE(console.find("-x!\"" + package.strName + "Parent.db\""), std::string::npos)
        << console;
}

TEST_F(PackageImportTest, TwoRunUnpackingIsDamagedOrStoppedAsOneRunWouldBe) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    const std::string archiver = Make7zCommand(m_strProgram);
    // Runs both, with cancel requested in between when given; the outcomes of both runs.
    auto unpackInTwoRuns = [&](CPackageImport& import, CImportProgress* pCancel) {
        testing::internal::CaptureStdout();
        EXPECT_TRUE(import.CreateWorkFolder());
        std::pair<UnpackOutcome, UnpackOutcome> outcomes;
        outcomes.first = import.UnpackFirstTable(archiver);
        if (pCancel) pCancel->RequestCancel();
        import.StartUnpackRest(archiver);
        outcomes.second = import.FinishUnpack();
        m_strConsole = testing::internal::GetCapturedStdout();
        return outcomes;
    };
    // Cut short after the dumps: the archiver says so in both runs (it reads every header), so
    // the first dump is left to the second run, which loses only the session files.
    std::string bytes = package_import::test::ReadFile(package.strTar);
    std::string cut =
        m_tmp / ("in/cut_" + package.strName.substr(package.strName.find('_') + 1) + ".tar");
    package_import::test::WriteFile(cut, bytes.substr(0, bytes.size() * 2 / 3 + 100));
    {
        CPackageImport import(m_strProgram, cut);
        EXPECT_EQ(unpackInTwoRuns(import, nullptr),
                  std::make_pair(UnpackOutcome::kDamaged, UnpackOutcome::kDamaged))
            << m_strConsole;
        testing::internal::CaptureStdout();
        import.LoadFirstTable();
        testing::internal::GetCapturedStdout();
        auto parent = package_import::test::TableCounts(import.Paths().ParentDbPath());
        EXPECT_EQ(parent["unix_sms_log"], package.parent["unix_sms_log"]);
        testing::internal::CaptureStdout();
        EXPECT_TRUE(import.RemoveWorkFolder());
        testing::internal::GetCapturedStdout();
    }
    // No first dump in the archive: the first run leaves nothing to load, the second decides,
    // as one run does, that this is no package.
    package_import::test::WriteFile(m_tmp / "src/readme.txt", "hello");
    const std::string other = m_tmp / "in/y_log_2016-09-01_2016-09-10.tar";
    ASSERT_TRUE(package_import::test::MakeTar(other, m_tmp / "src", {"readme.txt"}));
    {
        CPackageImport import(m_strProgram, other);
        auto outcomes = unpackInTwoRuns(import, nullptr);
        EXPECT_NE(outcomes.first, UnpackOutcome::kUnpacked) << m_strConsole;
        EXPECT_EQ(outcomes.second, UnpackOutcome::kNotAPackage) << m_strConsole;
        EXPECT_TRUE(fs::exists(import.Paths().WorkFolder() + "/readme.txt"));
        testing::internal::CaptureStdout();
        EXPECT_TRUE(import.RemoveWorkFolder());
        testing::internal::GetCapturedStdout();
    }
    // A cancel after the first run stops the second: the import ends as a cancelled one.
    {
        CImportProgress progress;
        CPackageImport import(m_strProgram, package.strTar);
        import.SetProgress(&progress);
        EXPECT_EQ(unpackInTwoRuns(import, &progress),
                  std::make_pair(UnpackOutcome::kUnpacked, UnpackOutcome::kCancelled))
            << m_strConsole;
        EXPECT_FALSE(fs::exists(import.Paths().SqlDumpPath()));
        testing::internal::CaptureStdout();
        EXPECT_TRUE(import.RemoveWorkFolder());
        testing::internal::GetCapturedStdout();
    }
}

}  // namespace

namespace {

// child.db on a thread of its own beside the Parent.db load, as the dialog and tavrin-import
// run it: both databases as complete as step by step, and the same child.db content.
TEST_F(PackageImportTest, ChildDatabaseLoadsBesideParentDbWithTheSameRows) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    CPackageImport serial(m_strProgram, package.strTar);
    ASSERT_EQ(ImportAll(serial), UnpackOutcome::kUnpacked) << m_strConsole;
    const auto serialChild = package_import::test::DatabaseContent(serial.Paths().ChildDbPath());
    const auto serialParent = package_import::test::DatabaseContent(serial.Paths().ParentDbPath());
    fs::remove_all(serial.Paths().WorkFolder());

    CPackageImport import(m_strProgram, package.strTar);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(import.CreateWorkFolder());
    ASSERT_EQ(import.Unpack(Make7zCommand(m_strProgram)), UnpackOutcome::kUnpacked);
    DbHandle child;
    ASSERT_EQ(OpenDbHandle(child, import.Paths().ChildDbPath()), 0);
    workspace::SLoadReport report;
    int result = -1;
    std::thread loader([&] { result = LoadChildDatabase(import.Paths(), child, nullptr, report); });
    import.ConvertDumps();
    import.LoadParentDb();
    loader.join();
    import.NoteChildLoad(report);
    child.Close();
    testing::internal::GetCapturedStdout();

    EXPECT_EQ(result, 1);
    EXPECT_FALSE(report.Incomplete());
    EXPECT_FALSE(import.LoadIncomplete());
    EXPECT_EQ(package_import::test::DatabaseContent(import.Paths().ChildDbPath()), serialChild);
    EXPECT_EQ(package_import::test::DatabaseContent(import.Paths().ParentDbPath()), serialParent);
}

// What the child load leaves undone comes back in one report: a missing dump is named, the
// definitions' and the rows' failures are counted; a stop leaves nothing half-loaded.
TEST_F(PackageImportTest, ChildDatabaseLoadReportsEveryStepAndStops) {
    workspace::CWorkspacePaths paths(m_strProgram, "a_log_2016-09-01_2016-09-10");
    fs::create_directories(paths.DumpFolder());
    DbHandle child;
    ASSERT_EQ(OpenDbHandle(child, paths.ChildDbPath()), 0);
    workspace::SLoadReport report;
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadChildDatabase(paths, child, nullptr, report), 0);  // no dump at all
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(report.Incomplete());
    EXPECT_EQ(report.tables.front(), "sub_table_sms.sql");
    CPackageImport import(m_strProgram, m_strProgram + "/a_log_2016-09-01_2016-09-10.tar");
    testing::internal::CaptureStdout();
    import.NoteChildLoad(report);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(import.IncompleteTables().front(), "sub_table_sms.sql");

    package_import::test::WriteFile(paths.SqlDumpPath(),
                                    "CREATE TABLE `t` (\n  `id` int(11) NOT NULL AUTO_INCREMENT,\n"
                                    "  `v` text\n) ENGINE=MyISAM;\n"
                                    "CREATE TABLE `bad` (\n  `x` int,,\n) ENGINE=MyISAM;\n"
                                    "INSERT INTO `t` VALUES (1,'a'),(2,'b');\n"
                                    "INSERT INTO `bad` VALUES (1);\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadChildDatabase(paths, child, nullptr, report), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(report.nFailed, 2);  // the definition of bad, and its row
    EXPECT_EQ(report.tables, std::vector<std::string>{"bad"});
    EXPECT_EQ(package_import::test::TableCounts(paths.ChildDbPath())["t"], 2);

    std::atomic<bool> stop{true};
    DbHandle fresh;
    fs::remove(paths.ChildDbPath());
    ASSERT_EQ(OpenDbHandle(fresh, paths.ChildDbPath()), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadChildDatabase(paths, fresh, &stop, report), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(report.bStopped);
    EXPECT_FALSE(report.Incomplete());
    EXPECT_TRUE(package_import::test::TableCounts(paths.ChildDbPath()).empty());
}

// The first page's table alone, then the other dumps on a thread of their own while the
// window's connection pages unix_sms_log and another reader (as tavrin-query or the text index:
// a read-only connection of its own each time) opens, reads every table and closes: neither is
// ever refused or shown a partial table, the tables come in their load order, and the end state
// is the serial import's, readable once the last connection has closed.
TEST_F(PackageImportTest, FirstTableFirstThenTheOtherDumpsWhileAReaderPages) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    CPackageImport import(m_strProgram, package.strTar);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(import.CreateWorkFolder());
    ASSERT_EQ(import.Unpack(Make7zCommand(m_strProgram)), UnpackOutcome::kUnpacked);
    import.ConvertTextMatrix();
    import.LoadFirstTable();
    const std::string parentPath = import.Paths().ParentDbPath();
    auto counts = package_import::test::TableCounts(parentPath);
    EXPECT_EQ(counts["unix_sms_log"], package.parent["unix_sms_log"]);
    for (const char* later : {"unix_vsms_log", "unix_xapp_log", "utm2dba", "utm_xapp_scan"})
        EXPECT_EQ(counts[later], 0) << later;  // made by table.sql, not loaded yet

    DbHandle reader;
    ASSERT_EQ(OpenDbHandle(reader, parentPath), 0);
    std::mutex mutex;
    std::vector<std::string> order;
    std::atomic<bool> done{false};
    workspace::SLoadReport report;
    std::thread loader([&] {
        LoadLaterDumps(import.Paths(), import.HasTabTable(), import.HasMatrixTable(), nullptr,
                       report, [&](const std::string& table) {
                           std::lock_guard<std::mutex> lock(mutex);
                           order.push_back(table);
                       });
        done = true;
    });
    std::atomic<int> otherReads{0};
    std::thread other([&] {
        do {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open_v2(parentPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
                      SQLITE_OK);
            for (const auto& [table, rows] : package.parent) {
                sqlite3_stmt* stmt = nullptr;
                const std::string sql = "select count(*) from \"" + table + "\"";
                ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK)
                    << sqlite3_errmsg(db);
                ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW) << table << ": " << sqlite3_errmsg(db);
                const long long n = sqlite3_column_int64(stmt, 0);
                EXPECT_TRUE(n == 0 || n == rows) << table << " " << n;
                sqlite3_finalize(stmt);
            }
            sqlite3_close(db);
            ++otherReads;
        } while (!done);
    });
    int reads = 0;
    do {
        sqlite3_stmt* stmt = nullptr;
        ASSERT_EQ(
            sqlite3_prepare_v2(reader.db, "select count(*) from unix_sms_log", -1, &stmt, nullptr),
            SQLITE_OK);
        ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW) << sqlite3_errmsg(reader.db);
        EXPECT_EQ(sqlite3_column_int64(stmt, 0), package.parent["unix_sms_log"]);
        sqlite3_finalize(stmt);
        ++reads;
    } while (!done);
    loader.join();
    other.join();
    testing::internal::GetCapturedStdout();
    EXPECT_GT(reads, 0);
    EXPECT_GT(otherReads.load(), 0);
    EXPECT_FALSE(report.Incomplete());
    EXPECT_FALSE(report.bStopped);
    EXPECT_EQ(order, LaterParentTables(true, true));
    reader.Close();
    EXPECT_FALSE(std::filesystem::exists(parentPath + "-wal"));  // folded in by the last close
    counts = package_import::test::TableCounts(parentPath);
    for (const auto& [table, rows] : package.parent) EXPECT_EQ(counts[table], rows) << table;
}

// A stop between two dumps ends the load there, says nothing is short (nothing failed) and
// tells no further table; a later dump that fails is named and the others still load.
TEST_F(PackageImportTest, LaterDumpsStopWhenAskedAndNameTheOneThatFailed) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    CPackageImport import(m_strProgram, package.strTar);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(import.CreateWorkFolder());
    ASSERT_EQ(import.Unpack(Make7zCommand(m_strProgram)), UnpackOutcome::kUnpacked);
    import.ConvertTextMatrix();
    import.LoadFirstTable();

    std::atomic<bool> stop{false};
    std::vector<std::string> told;
    workspace::SLoadReport report;
    std::thread loader([&] {
        LoadLaterDumps(import.Paths(), true, true, &stop, report, [&](const std::string& table) {
            told.push_back(table);
            if (table == "unix_xapp_log") stop = true;
        });
    });
    loader.join();
    EXPECT_TRUE(report.bStopped);
    EXPECT_TRUE(IncompleteTables(report, "Parent.db").empty());
    EXPECT_EQ(told, (std::vector<std::string>{"unix_vsms_log", "unix_xapp_log"}));
    auto counts = package_import::test::TableCounts(import.Paths().ParentDbPath());
    EXPECT_EQ(counts["unix_xapp_log"], package.parent["unix_xapp_log"]);
    EXPECT_EQ(counts["utm2dba"], 0);

    // Again from the start of the later dumps, with one of them malformed.
    for (const char* table : {"unix_vsms_log", "unix_xapp_log"}) {
        DbHandle db;
        ASSERT_EQ(OpenDbHandle(db, import.Paths().ParentDbPath()), 0);
        ASSERT_EQ(sqlite3_exec(db.db, (std::string("delete from ") + table).c_str(), nullptr,
                               nullptr, nullptr),
                  SQLITE_OK);
    }
    package_import::test::WriteFile(import.Paths().DumpPath("utm2dba.bak"),
                                    "only\tthree\tfields\n");
    told.clear();
    LoadLaterDumps(import.Paths(), true, true, nullptr, report,
                   [&](const std::string& table) { told.push_back(table); });
    EXPECT_FALSE(report.bStopped);
    EXPECT_EQ(report.tables, std::vector<std::string>{"utm2dba"});
    EXPECT_EQ(told, LaterParentTables(true, true));  // the failed one is told too: it is done
    counts = package_import::test::TableCounts(import.Paths().ParentDbPath());
    EXPECT_EQ(counts["utm2dba"], 0);
    EXPECT_EQ(counts["utm_dba_scan"], package.parent["utm_dba_scan"]);
    import.NoteParentLoad(report);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(import.IncompleteTables(), std::vector<std::string>{"utm2dba"});
}

}  // namespace

}  // namespace package_import
