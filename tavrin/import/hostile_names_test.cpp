// Packages that try to plant the import's own files, to unpack beyond the free space, to be
// something other than a file, or to take a name the program folder needs. Each is built
// here from a generated sample and imported with the real 7-Zip into a program folder of the
// test's own, through the import component and through tavrin-import.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "common/db_handle.h"
#include "platform/folder_tree.h"
#include "tavrin/dispatch/close_cleanup.h"
#include "tavrin/import/archive_extractor.h"
#include "tavrin/import/package_import.h"
#include "tavrin/testing/import_test_util.h"

namespace package_import {

namespace {

namespace fs = std::filesystem;
using package_import::test::SamplePackage;

constexpr const char* kPlantedMark = "PLANTED_BY_THE_ARCHIVE";

struct SCommandRun {
    int nStatus = -1;
    std::string strOut;
};

class HostileNamesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_prog = m_tmp.Str() + "/prog";
        package_import::test::LayOutProgramFolder(m_prog);
        if (IsSkipped()) return;
        m_package = package_import::test::MakeSamplePackage(
            m_tmp.Str() + "/in", {"--sessions", "20", "--terminal-rows", "40", "--child-sessions",
                                  "4", "--session-files", "4"});
    }

    std::string WorkFolder() const { return m_prog + "/" + m_package.strName; }

    // The import as the dialog drives it, with the console captured.
    UnpackOutcome Import(const std::string& tar, std::string* console = nullptr) {
        CPackageImport import(m_prog, tar);
        testing::internal::CaptureStdout();
        import.CreateWorkFolder();
        UnpackOutcome outcome = import.Unpack(Make7zCommand(m_prog));
        if (outcome == UnpackOutcome::kDamaged || outcome == UnpackOutcome::kUnpacked) {
            import.ConvertDumps();
            import.LoadParentDb();
            DbHandle child;
            OpenDbHandle(child, import.Paths().ChildDbPath());
            import.CreateChildTables(child);
            import.LoadChildRows(child);
        } else {
            import.RemoveWorkFolder();
        }
        std::string out = testing::internal::GetCapturedStdout();
        if (console) *console = out;
        return outcome;
    }

    // tavrin-import on tar with this test's program folder as its own.
    SCommandRun RunCommand(const std::string& tar) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        auto r = platform::SpawnAndWait(
            "/usr/bin/env", {"env", "TAVRIN_PROGRAM_DIR=" + m_prog,
                             std::string(TAVRIN_TEST_PROGRAM_DIR) + "/tavrin-import", tar});
        SCommandRun run;
        run.strOut = testing::internal::GetCapturedStdout();
        run.strOut += testing::internal::GetCapturedStderr();
        run.nStatus = r.started ? r.exitStatus : -1;
        return run;
    }

    // Appends the entries (relative to folder) to a copy of the sample named name.tar.
    std::string SampleWith(const std::string& folder, const std::vector<std::string>& entries,
                           const std::string& name) {
        const std::string tar = m_tmp.Str() + "/" + name + ".tar";
        fs::copy_file(m_package.strTar, tar);
        EXPECT_TRUE(package_import::test::MakeTar(tar, folder, entries, true));
        return tar;
    }

    package_import::test::CTempFolder m_tmp;
    std::string m_prog;
    SamplePackage m_package;
};

// A database that would hide every session behind an endless query, and show rows that are in
// no dump.
void WritePlantedDatabase(const std::string& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const std::string sql =
        "CREATE TABLE planted(x); INSERT INTO planted VALUES('" + std::string(kPlantedMark) +
        "'); CREATE VIEW unix_sms_log AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 "
        "FROM c) SELECT x FROM c;";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

TEST_F(HostileNamesTest, FilesTheImportMakesAreNeverTakenFromTheArchive) {
    const std::string stage = m_tmp.Str() + "/stage";
    const std::string name = m_package.strName;
    const std::string dump = "var/tmp/backup_log/data_2016-09-01_2016-09-10";
    fs::create_directories(stage + "/" + dump);
    WritePlantedDatabase(stage + "/" + name + "Parent.db");
    WritePlantedDatabase(stage + "/" + name + "child.db");
    // A journal beside the database would be rolled back into it when it is opened.
    package_import::test::WriteFile(stage + "/" + name + "Parent.db-journal", kPlantedMark);
    package_import::test::WriteFile(
        stage + "/mysql.sql", "CREATE TABLE planted_rows(x);INSERT INTO planted_rows VALUES('" +
                                  std::string(kPlantedMark) + "');\r\n");
    package_import::test::WriteFile(stage + "/mysql1.sql",
                                    "CREATE TABLE planted_definitions(x);\r\n");
    package_import::test::WriteFile(stage + "/utm_dba_scan.bak",
                                    std::string(kPlantedMark) + ",1,2\r\n");
    // A folder where a converted dump goes.
    package_import::test::WriteFile(stage + "/utm_xapp_scan.bak/inner", kPlantedMark);
    package_import::test::WriteFile(stage + "/" + dump + "/w_text_matrix1.bak",
                                    std::string(kPlantedMark) + ",1\r\n");
    const std::vector<std::string> planted = {name + "Parent.db",
                                              name + "child.db",
                                              name + "Parent.db-journal",
                                              "mysql.sql",
                                              "mysql1.sql",
                                              "utm_dba_scan.bak",
                                              "utm_xapp_scan.bak",
                                              dump + "/w_text_matrix1.bak"};
    const std::string tar = SampleWith(stage, planted, name);

    std::string console;
    EXPECT_EQ(Import(tar, &console), UnpackOutcome::kDamaged);
    for (const std::string& entry : planted)
        EXPECT_NE(console.find("\xA3\xBA" + entry + "\n"), std::string::npos) << entry;

    // Exactly the package's own rows, in tables the import made.
    const std::string parent = WorkFolder() + "/" + name + "Parent.db";
    const std::string child = WorkFolder() + "/" + name + "child.db";
    EXPECT_EQ(package_import::test::TableCounts(parent).count("planted"), 0u);
    for (const auto& [table, rows] : m_package.parent)
        EXPECT_EQ(package_import::test::TableCounts(parent)[table], rows) << table;
    EXPECT_EQ(package_import::test::TableCounts(child), m_package.child);
    for (const std::string& db : {parent, child}) {
        for (const std::string& line : package_import::test::DatabaseContent(db))
            EXPECT_EQ(line.find(kPlantedMark), std::string::npos) << line;
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        char** table = nullptr;
        int rows = 0, columns = 0;
        sqlite3_get_table(handle, "SELECT name FROM sqlite_master WHERE type = 'view'", &table,
                          &rows, &columns, nullptr);
        sqlite3_free_table(table);
        sqlite3_close(handle);
        EXPECT_EQ(rows, 0) << db;
    }
    ASSERT_TRUE(platform::DeleteFolderTree(WorkFolder()));

    // tavrin-import reports the package damaged and loads only what the package holds.
    SCommandRun run = RunCommand(tar);
    EXPECT_EQ(run.nStatus, 3) << run.strOut;
    EXPECT_EQ(run.strOut.find("planted"), std::string::npos) << run.strOut;
}

TEST_F(HostileNamesTest, ASparseMemberLargerThanTheFreeSpaceIsRefusedBeforeUnpacking) {
    // 1 TiB declared, a few kilobytes in the archive: more than this disk has free.
    const std::string stage = m_tmp.Str() + "/stage";
    fs::create_directories(stage);
    { std::ofstream(stage + "/bomb"); }
    fs::resize_file(stage + "/bomb", 1ull << 40);
    const std::string tar = m_tmp.Str() + "/" + m_package.strName + ".tar";
    fs::copy_file(m_package.strTar, tar);
    auto r = platform::SpawnAndWait("/usr/bin/tar", {"tar", "-rSf", tar, "-C", stage, "bomb"});
    fs::remove(stage + "/bomb");
    ASSERT_TRUE(r.started && r.exitStatus == 0);
    ASSERT_LT(fs::file_size(tar), 4u << 20);

    std::string console;
    EXPECT_EQ(Import(tar, &console), UnpackOutcome::kNoSpace);
    // "...，未解压。": refused before the archiver ran.
    EXPECT_NE(console.find("\xA3\xAC\xCE\xB4\xBD\xE2\xD1\xB9"), std::string::npos) << console;
    EXPECT_EQ(console.find("7z\" x"), std::string::npos) << "the archiver unpacked";
    EXPECT_FALSE(fs::exists(WorkFolder()));

    SCommandRun run = RunCommand(tar);
    EXPECT_EQ(run.nStatus, 1) << run.strOut;
    EXPECT_FALSE(fs::exists(WorkFolder()));
}

TEST_F(HostileNamesTest, AnythingButARegularFileIsRefusedWithoutBlocking) {
    const std::string fifo = m_tmp.Str() + "/x_log_2016-09-01_2016-09-10.tar";
    auto made = platform::SpawnAndWait("/usr/bin/mkfifo", {"mkfifo", fifo});
    ASSERT_TRUE(made.started && made.exitStatus == 0);
    const std::string folder = m_tmp.Str() + "/y_log_2016-09-01_2016-09-10.tar";
    fs::create_directories(folder);

    auto check = std::async(std::launch::async, [&] {
        return CheckDiskSpace(fifo, m_prog) || CheckDiskSpace(folder, m_prog);
    });
    if (check.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Release the blocked open so that the test can end, then fail.
        platform::SpawnAndWait("/bin/sh", {"sh", "-c", ": > \"$0\"", fifo});
        ADD_FAILURE() << "the free-space check blocked on a FIFO";
    }
    EXPECT_FALSE(check.get());
    EXPECT_EQ(RunCommand(fifo).nStatus, 1);
    EXPECT_EQ(RunCommand(folder).nStatus, 1);
    EXPECT_FALSE(fs::exists(m_prog + "/x_log_2016-09-01_2016-09-10"));
}

TEST_F(HostileNamesTest, NamesTheProgramFolderNeedsAreNeverImportedOrDeleted) {
    package_import::test::WriteFile(m_prog + "/english.rcc", "module");
    for (const char* name :
         {"processid", "7z", "table.sql", "english.rcc", "Morvel", "PROCESSID", "tavrin-import"}) {
        const std::string tar = m_tmp.Str() + "/" + name + ".tar";
        fs::copy_file(m_package.strTar, tar, fs::copy_options::overwrite_existing);
        CPackageImport import(m_prog, tar);
        EXPECT_FALSE(import.HasUsableName()) << name;
        EXPECT_FALSE(import.RemoveWorkFolder()) << name;
        EXPECT_EQ(RunCommand(tar).nStatus, 1) << name;
    }
    // Nor does the close delete them, whatever names it is given.
    testing::internal::CaptureStdout();
    dispatch::DeleteWorkFolders(m_prog, {"processid", "7z", "table.sql", "english.rcc"}, 1, 0);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(fs::is_directory(m_prog + "/processid"));
    EXPECT_TRUE(fs::is_symlink(m_prog + "/7z"));
    EXPECT_TRUE(fs::exists(m_prog + "/table.sql"));
    EXPECT_TRUE(fs::exists(m_prog + "/english.rcc"));

    // A name whose database files would exceed the file-name limit is refused as a whole.
    const std::string longName =
        std::string(workspace::kMaxPackageNameBytes - 22, 'n') + "_2016-09-01_2016-09-10";
    ASSERT_EQ(longName.size(), workspace::kMaxPackageNameBytes);
    EXPECT_TRUE(CPackageImport(m_prog, m_tmp.Str() + "/" + longName + ".tar").HasUsableName());
    const std::string tooLong = "n" + longName;
    const std::string tar = m_tmp.Str() + "/" + tooLong + ".tar";
    fs::copy_file(m_package.strTar, tar);
    EXPECT_FALSE(CPackageImport(m_prog, tar).HasUsableName());
    EXPECT_EQ(RunCommand(tar).nStatus, 1);
    EXPECT_FALSE(fs::exists(m_prog + "/" + tooLong));
}

}  // namespace

}  // namespace package_import
