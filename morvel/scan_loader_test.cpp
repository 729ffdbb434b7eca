#include "morvel/scan_loader.h"
#include "common/testing/temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "morvel/command_line.h"
#include "platform/process_control.h"

namespace morvel {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

// A program folder with one package "pkg": its Parent.db with a utm2dba table and its
// sessions directory.
class MorvelScanLoaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root = m_temp.Path();
        fs::create_directories(Sessions());
    }

    fs::path Sessions() const { return m_root / "pkg" / std::string(kSessionsSubfolder); }
    std::string ParentDb() const { return ParentDbPath(m_root.string(), "pkg"); }

    void Exec(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(ParentDb().c_str(), &db), SQLITE_OK);
        char* error = nullptr;
        int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
        EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }
    void MakeTable() { Exec("create table utm2dba(id integer, utm text, dba text, extra text)"); }
    void Row(const std::string& utm, const std::string& dba) {
        char* sql =
            sqlite3_mprintf("insert into utm2dba values(1, %Q, %Q, 'x')", utm.c_str(), dba.c_str());
        Exec(sql);
        sqlite3_free(sql);
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(Sessions() / name, std::ios::binary) << text;
    }
    ScanData Load(const std::string& session, std::FILE* console = nullptr) {
        return LoadScanData({ParentDb(), PackageFolder(m_root.string(), "pkg"), session}, console);
    }

    common::test::CTempFolder m_temp;
    fs::path m_root;
};

}  // namespace

TEST_F(MorvelScanLoaderTest, NamedFilesAreShownInRowOrderAndTheScanFileIsNotRead) {
    MakeTable();
    Row("s1", "a");
    Row("other", "c");
    Row("s1", "b");
    Write("a", "a1\r\na2\r\n");
    Write("b", "b1\nb2");
    Write("c", "never\n");
    Write("s1.scan", "scan line\n");

    std::FILE* console = std::tmpfile();
    ASSERT_TRUE(console);
    ScanData data = Load("s1", console);
    EXPECT_EQ(data.nSource, kSourceDbaFiles);
    EXPECT_EQ(data.dbaNames, (Lines{"a", "b"}));
    EXPECT_EQ(data.Lines(), (Lines{"a1", "a2", "b1", "b2"}));
    EXPECT_TRUE(data.scanLines.empty());

    std::rewind(console);
    char buffer[64] = {};
    size_t n = std::fread(buffer, 1, sizeof buffer - 1, console);
    std::fclose(console);
    EXPECT_EQ(std::string(buffer, n), "a\nb\n");
}

TEST_F(MorvelScanLoaderTest, OnlyMissingOrEmptyNamedFilesFallBackToTheScanFile) {
    MakeTable();
    Row("s1", "missing");
    Row("s1", "empty");
    Write("empty", "");
    std::string scan;
    for (int i = 1; i <= 26; ++i) scan += "cmd " + std::to_string(i) + "\r\n";
    Write("s1.scan", scan);
    ScanData data = Load("s1");
    EXPECT_EQ(data.nSource, kSourceSessionScan);
    EXPECT_EQ(data.Lines().size(), 26u);
    EXPECT_EQ(data.Lines().front(), "cmd 1");

    // One file present among missing ones is enough: no fallback.
    Row("s1", "present");
    Write("present", "p\n");
    data = Load("s1");
    EXPECT_EQ(data.nSource, kSourceDbaFiles);
    EXPECT_EQ(data.Lines(), (Lines{"p"}));
}

TEST_F(MorvelScanLoaderTest, MissingDatabaseOrTableUsesTheScanFileAndNothingGivesNoLines) {
    Write("s1.scan", "only\n");
    ScanData data = Load("s1");  // Parent.db does not exist yet
    EXPECT_EQ(data.nSource, kSourceSessionScan);
    EXPECT_EQ(data.Lines(), (Lines{"only"}));
    EXPECT_TRUE(fs::exists(ParentDb()));  // created by the read-write open

    data = Load("nothing");
    EXPECT_EQ(data.nSource, kSourceSessionScan);
    EXPECT_TRUE(data.Lines().empty());
}

TEST_F(MorvelScanLoaderTest, SessionNamesAreValuesNotSql) {
    MakeTable();
    Row("s1", "a");
    Row("q\"x", "quoted");
    Row("it's", "apostrophe");
    Row("utm", "named_utm");
    Write("a", "a\n");
    Write("quoted", "quoted\n");
    Write("apostrophe", "apostrophe\n");
    Write("named_utm", "named utm\n");

    EXPECT_EQ(Load("q\"x").Lines(), (Lines{"quoted"}));
    EXPECT_EQ(Load("it's").Lines(), (Lines{"apostrophe"}));
    // Written as a double-quoted text, "utm" would be the column and match every row.
    EXPECT_EQ(Load("utm").dbaNames, (Lines{"named_utm"}));
    EXPECT_TRUE(Load("x' or '1'='1").dbaNames.empty());
}

TEST_F(MorvelScanLoaderTest, ShortAndNullRowsContributeNothing) {
    Exec("create table utm2dba(id integer, utm text)");
    Exec("insert into utm2dba values(1, 's1')");
    Write("s1.scan", "fallback\n");
    ScanData data = Load("s1");
    EXPECT_TRUE(data.dbaNames.empty());
    EXPECT_EQ(data.Lines(), (Lines{"fallback"}));

    Exec("drop table utm2dba");
    MakeTable();
    Exec("insert into utm2dba values(1, 's1', NULL, NULL)");
    data = Load("s1");
    EXPECT_TRUE(data.dbaNames.empty());
    EXPECT_EQ(data.Lines(), (Lines{"fallback"}));
}

TEST_F(MorvelScanLoaderTest, NamesLeadingOutsideTheSessionsDirectoryAreSkipped) {
    MakeTable();
    std::ofstream(m_root / "pkg" / "outside", std::ios::binary) << "outside\n";
    std::ofstream(m_root / "secret", std::ios::binary) << "secret\n";
    Row("s1", "../../../../outside");
    Row("s1", (m_root / "secret").string());
    if (!common::test::MakeSymlink(m_root / "secret", Sessions() / "link"))
        GTEST_SKIP() << common::test::kNoSymlinks;
    Row("s1", "link");
    Write("s1.scan", "fallback\n");
    ScanData data = Load("s1");
    EXPECT_EQ(data.dbaNames.size(), 3u);
    EXPECT_EQ(data.nSource, kSourceSessionScan);
    EXPECT_EQ(data.Lines(), (Lines{"fallback"}));

    // A session name that climbs out finds no ".scan" file either.
    EXPECT_TRUE(Load("../../../../secret").Lines().empty());
}

}  // namespace morvel
