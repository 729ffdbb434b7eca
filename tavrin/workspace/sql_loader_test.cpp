#include "tavrin/workspace/sql_loader.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>

#include <thread>
#include "common/sql_stop.h"
#include "platform/spawn.h"
#include "tavrin/testing/workspace_test_support.h"

namespace workspace {

namespace {

using common::test::CTempFolder;
using workspace::test::WriteFile;

const std::string kTableDone = "Table\xCD\xEA\xB3\xC9\xA3\xA1\n";     // Table完成！
const std::string kInsertDone = "Inster \xBD\xE1\xCA\xF8\xA3\xA1\n";  // Inster 结束！
const std::string kOpenFailed = "\xB4\xF2\xBF\xAA\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC\xA3\xA1";

// Rows of a one-column query, each value as text (NULL as "NULL").
std::vector<std::string> Column(sqlite3* db, const std::string& sql) {
    std::vector<std::string> values;
    sqlite3_exec(
        db, sql.c_str(),
        [](void* p, int, char** v, char**) {
            static_cast<std::vector<std::string>*>(p)->push_back(v[0] ? v[0] : "NULL");
            return 0;
        },
        &values, nullptr);
    return values;
}

class SqlLoader : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(OpenDbHandle(m_child, m_dir / "Pchild.db"), SQLITE_OK); }

    std::string Run(int (*load)(DbHandle&, const std::string&), const std::string& content,
                    int expected = 1) {
        WriteFile(m_dir / "in.sql", content);
        testing::internal::CaptureStdout();
        EXPECT_EQ(load(m_child, m_dir / "in.sql"), expected);
        return testing::internal::GetCapturedStdout();
    }
    static int Insert(DbHandle& h, const std::string& p) { return InsertRowStatements(h, p); }
    static int Definitions(DbHandle& h, const std::string& p) { return RunSqlFile(h, p); }

    CTempFolder m_dir;
    DbHandle m_child;
};

TEST_F(SqlLoader, TableDefinitionsRunStatementByStatementAndGoOnAfterAFailure) {
    std::string out = Run(Definitions,
                          "CREATE TABLE a (x int);\r\n"
                          "CREATE TABLE b (y text DEFAULT 'p;q');\r\n"  // cut at the ";"
                          "CREATE TABLE c (z int);\r\n"
                          "CREATE TABLE never (w int)");  // no ";": not run
    EXPECT_EQ(Column(m_child.db, "select name from sqlite_master order by name"),
              (std::vector<std::string>{"a", "c"}));
    // Both halves of the cut statement fail and are reported with their messages.
    EXPECT_NE(out.find("\r\nCREATE TABLE b (y text DEFAULT 'p;unrecognized token: \"'p;\"\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("q');"), std::string::npos) << out;
    EXPECT_EQ(out.substr(out.size() - kTableDone.size()), kTableDone);
    EXPECT_EQ(m_child.errmsg, nullptr);  // the commit succeeded
    EXPECT_TRUE(sqlite3_get_autocommit(m_child.db));
}

// A missing file, or a handle without a connection: nothing runs, and a report handed in from
// an earlier load does not keep that load's failures.
TEST_F(SqlLoader, MissingFilesAndClosedHandlesAreReportedAndLoadNothing) {
    WriteFile(m_dir / "in.sql", "CREATE TABLE t(a);\n");
    DbHandle closed;
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunSqlFile(m_child, m_dir / "none.sql"), 0);
    EXPECT_EQ(InsertRowStatements(m_child, m_dir / "none.sql"), 0);
    for (bool rows : {false, true}) {
        SLoadReport report;
        report.nFailed = 3;
        report.tables = {"old"};
        report.bStopped = true;
        EXPECT_EQ(rows ? InsertRowStatements(closed, m_dir / "in.sql", nullptr, &report)
                       : RunSqlFile(closed, m_dir / "in.sql", &report),
                  0);
        EXPECT_EQ(report.nFailed, 0);
        EXPECT_TRUE(report.tables.empty());
        EXPECT_FALSE(report.bStopped);
    }
    EXPECT_EQ(
        testing::internal::GetCapturedStdout(),
        kOpenFailed + "2\n" + kOpenFailed + "2\n" + kOpenFailed + "0\n" + kOpenFailed + "0\n");
}

TEST_F(SqlLoader, RowStatementsCompleteOnTheirFirstClosingParenthesisSemicolon) {
    Run(Definitions, "CREATE TABLE t (id int, v text);");
    const std::string gbk = "\xC9\xF3\xBC\xC6";  // 审计
    const std::string invalid = "\xFF\x80";      // not GBK
    std::string out = Run(Insert,
                          "INSERT INTO t VALUES (1,'one');\r\n"
                          "INSERT INTO missing VALUES (2);\r\n"  // fails, line 2
                          "INSERT INTO t VALUES (3,'" +
                              gbk +
                              "');\n"
                              "INSERT INTO t VALUES (4,\n"  // three lines
                              "'a',\n"
                              "'b');\n"
                              "INSERT INTO t VALUES (5,'x);y');\n"  // first ");" inside
                              "INSERT INTO t VALUES (6,'" +
                              invalid +
                              "');\n"
                              "INSERT INTO t VALUES (7,'never')");  // never completed
    // Line 4 joins lines 4 to 6 without separators; line 7 stays pending and runs in front of
    // line 8, both statements succeeding; line 9 never completes.
    EXPECT_EQ(Column(m_child.db, "select id from t order by id"),
              (std::vector<std::string>{"1", "3", "5", "6"}));
    EXPECT_NE(out.find("INSERT INTO missing VALUES (2);2:no such table: missing\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("INSERT INTO t VALUES (4,'a','b');6:table t has 2 columns but 3 values "
                       "were supplied\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("8:"), std::string::npos) << out;
    EXPECT_EQ(out.find("never"), std::string::npos) << out;
    EXPECT_EQ(out.substr(out.size() - kInsertDone.size()), kInsertDone);
    // The GBK bytes reached the table as they stand in the file.
    EXPECT_EQ(Column(m_child.db, "select hex(v) from t where id = 3"),
              std::vector<std::string>{"C9F3BCC6"});
    EXPECT_TRUE(sqlite3_get_autocommit(m_child.db));

    // Invalid bytes are kept too.
    Run(Insert, "INSERT INTO t VALUES (9,'" + invalid + "');\n");
    EXPECT_EQ(Column(m_child.db, "select hex(v) from t where id = 9"),
              std::vector<std::string>{"FF80"});
}

TEST_F(SqlLoader, EmptyRowFileRunsAnEmptyTransaction) {
    EXPECT_EQ(Run(Insert, ""), kInsertDone);
    EXPECT_TRUE(sqlite3_get_autocommit(m_child.db));
}

TEST_F(SqlLoader, RowLoaderLeavesTheHandlesErrorSlotAlone) {
    Run(Definitions, "CREATE TABLE t (id int);");
    m_child.SetError(sqlite3_mprintf("earlier message"));
    Run(Insert, "INSERT INTO nope VALUES (1);\n");
    ASSERT_NE(m_child.errmsg, nullptr);
    EXPECT_STREQ(m_child.errmsg, "earlier message");
}

TEST_F(SqlLoader, StatementsReachingOutsideTheDatabaseAreRefusedAndLoadingGoesOn) {
    CTempFolder outside;
    const std::string target = outside / "stolen.db";
    Run(Definitions,
        "CREATE TABLE t (id int);\n"
        "ATTACH '" +
            target +
            "' AS evil;\n"
            "CREATE TABLE evil.x (a int);\n");
    std::string out = Run(Insert,
                          "INSERT INTO t VALUES (1);\n"
                          "INSERT INTO t SELECT 2; ATTACH '" +
                              target +
                              "' AS evil; CREATE TABLE evil.x(a);\n"
                              "VACUUM INTO '" +
                              target +
                              "'; SELECT (1);\n"
                              "PRAGMA temp_store_directory = '" +
                              outside.Str() +
                              "'; SELECT (1);\n"
                              "PRAGMA journal_mode = OFF; SELECT (1);\n"
                              "SELECT load_extension('" +
                              (outside / "lib.so") +
                              "');\n"
                              "SELECT fts3_tokenizer('simple');\n"
                              "INSERT INTO t VALUES (3);\n");
    EXPECT_TRUE(std::filesystem::is_empty(outside.Path())) << out;
    // Row 2 ran before the refused ATTACH on its line; rows 1 and 3 are unaffected.
    EXPECT_EQ(Column(m_child.db, "select id from t order by id"),
              (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_NE(out.find("2:not authorized"), std::string::npos) << out;
    EXPECT_NE(out.find("3:"), std::string::npos) << out;
    EXPECT_NE(out.find("6:"), std::string::npos) << out;
    // Ordinary use of the connection still works, schema queries included.
    EXPECT_EQ(Column(m_child.db, "select count(*) from pragma_table_info('t')"),
              std::vector<std::string>{"1"});
    EXPECT_EQ(Column(m_child.db, "select count(*) from t"), std::vector<std::string>{"3"});
}

TEST_F(SqlLoader, StatementsBeyondTheLengthLimitAreDroppedWithoutGatheringThem) {
    sqlite3_limit(m_child.db, SQLITE_LIMIT_SQL_LENGTH, 300);
    const std::string filler(150, 'x');
    std::string out = Run(Definitions,
                          "CREATE TABLE t (id int);\n"
                          "CREATE TABLE big (a int DEFAULT '" +
                              filler + filler +
                              "');\n"
                              "CREATE TABLE u (id int);");
    EXPECT_EQ(Column(m_child.db, "select name from sqlite_master order by name"),
              (std::vector<std::string>{"t", "u"}))
        << out;
    EXPECT_NE(out.find("statement too long\n"), std::string::npos) << out;

    out = Run(Insert,
              "INSERT INTO t VALUES (1);\n"
              "INSERT INTO t VALUES (2, '" +
                  filler +
                  "',\n"  // pending, then too long:
                  "'" +
                  filler +
                  "',\n"  // reported at line 3
                  "'" +
                  filler +
                  "',\n"
                  "'end');\n"  // ends the dropped statement
                  "INSERT INTO t VALUES (3);\n");
    EXPECT_EQ(Column(m_child.db, "select id from t order by id"),
              (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(out, "3:statement too long\n" + kInsertDone);
}

TEST_F(SqlLoader, AStopRequestedBeforehandLoadsNothing) {
    Run(Definitions, "CREATE TABLE t (id int);");
    WriteFile(m_dir / "rows.sql", "INSERT INTO t VALUES (1);\nINSERT INTO t VALUES (2);\n");
    std::atomic<bool> stop{true};
    testing::internal::CaptureStdout();
    EXPECT_EQ(InsertRowStatements(m_child, m_dir / "rows.sql", &stop), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(Column(m_child.db, "select count(*) from t"), std::vector<std::string>{"0"});
    EXPECT_TRUE(sqlite3_get_autocommit(m_child.db));  // rolled back, not left open
}

// Package SQL runs in a transaction of the loader's own and may make tables, indexes and rows,
// nothing that runs SQL later (views, triggers) and no transaction control of its own.
TEST_F(SqlLoader, ViewsTriggersAndTransactionControlAreRefusedAndReported) {
    WriteFile(m_dir / "in.sql",
              "CREATE TABLE a (x int);\n"
              "  CREATE VIEW v AS SELECT 1;\n"
              "  CREATE TEMP VIEW tv AS SELECT 1;\n"
              "  CREATE TRIGGER tr AFTER INSERT ON a BEGIN DELETE FROM a; END;\n"
              "  COMMIT;\n"
              "  CREATE INDEX ia ON a (x);\n"
              "CREATE TABLE c (z int);\n");
    SLoadReport report;
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunSqlFile(m_child, m_dir / "in.sql", &report), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(Column(m_child.db, "select type || ' ' || name from sqlite_master order by name"),
              (std::vector<std::string>{"table a", "table c", "index ia"}));
    // The view, the temporary view, both halves of the cut trigger and the commit.
    EXPECT_EQ(report.nFailed, 5);
    EXPECT_FALSE(report.bCommitFailed);
    EXPECT_TRUE(report.Incomplete());
    EXPECT_EQ(StatementTable("INSERT INTO `t1` VALUES (1)"), "t1");
    EXPECT_EQ(StatementTable("  insert or replace into \"t 2\" values (1)"), "t 2");
    EXPECT_EQ(StatementTable("CREATE TABLE IF NOT EXISTS [t3] (a)"), "t3");
    EXPECT_EQ(StatementTable("CREATE TABLE `t4`(a)"), "t4");
    EXPECT_EQ(StatementTable("CREATE UNIQUE INDEX i ON t5 (a)"), "t5");
    EXPECT_EQ(StatementTable("  CREATE VIEW v AS SELECT 1"), "CREATE VIEW v AS SELECT 1");
}

// The import's hang: an endless query among the definitions ends on the stop request, and
// nothing of the run is kept.
TEST_F(SqlLoader, AnEndlessDefinitionEndsOnTheStopRequestAndKeepsNothing) {
    WriteFile(m_dir / "in.sql",
              "CREATE TABLE first (x int);\n"
              "CREATE TABLE t AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c) "
              "SELECT x FROM c WHERE x < 0;\n"
              "CREATE TABLE later (x int);\n");
    std::atomic<bool> stop{false};
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    SLoadReport report;
    testing::internal::CaptureStdout();
    {
        common::CStopScope scope(&stop);
        EXPECT_EQ(RunSqlFile(m_child, m_dir / "in.sql", &report), 1);
    }
    std::string out = testing::internal::GetCapturedStdout();
    canceller.join();
    EXPECT_TRUE(report.bStopped);
    EXPECT_FALSE(report.Incomplete());  // a stop is the user's, not damage
    EXPECT_TRUE(sqlite3_get_autocommit(m_child.db));
    EXPECT_EQ(Column(m_child.db, "select count(*) from sqlite_master"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(out.find("interrupted"), std::string::npos) << out;
}

// A 123-byte bomb of random blobs over an endless query stops at the database's size bound,
// which package SQL cannot raise; the run ends there instead of going on outside the
// transaction.
TEST_F(SqlLoader, AWriteBombStopsAtTheSizeBound) {
    LimitDatabaseSize(m_child.db, 1 << 20);
    WriteFile(m_dir / "in.sql",
              "  PRAGMA max_page_count = 1000000000;\n"
              "CREATE TABLE b AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c) "
              "SELECT randomblob(10000) FROM c;\n"
              "CREATE TABLE after (x int);\n");
    SLoadReport report;
    testing::internal::CaptureStdout();
    RunSqlFile(m_child, m_dir / "in.sql", &report);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(report.bFull);
    EXPECT_TRUE(report.Incomplete());
    EXPECT_EQ(report.tables,
              (std::vector<std::string>{"PRAGMA max_page_count = 1000000000;", "b"}));
    EXPECT_TRUE(sqlite3_get_autocommit(m_child.db));
    EXPECT_EQ(Column(m_child.db, "select count(*) from sqlite_master"),
              std::vector<std::string>{"0"});
    EXPECT_LT(std::filesystem::file_size(m_dir / "Pchild.db"), 2u << 20);
}

// A small file system of its own (tmpfs, root only), always unmounted at the end.
class SqlLoaderFullDisk : public testing::Test {
  protected:
    void SetUp() override {
        m_strMount = m_dir / "small";
        std::filesystem::create_directories(m_strMount);
        auto r = platform::SpawnAndWait(
            "/bin/mount", {"mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", m_strMount});
        if (!r.started || r.exitStatus != 0) GTEST_SKIP() << "cannot mount a small tmpfs here";
        m_bMounted = true;
        ASSERT_EQ(OpenDbHandle(m_child, m_strMount + "/Pchild.db"), SQLITE_OK);
    }
    void TearDown() override {
        m_child.Close();
        if (m_bMounted) platform::SpawnAndWait("/bin/umount", {"umount", m_strMount});
    }
    CTempFolder m_dir;
    std::string m_strMount;
    bool m_bMounted = false;
    DbHandle m_child;
};

TEST_F(SqlLoaderFullDisk, ARowLoadThatFillsTheDiskStopsAndGoesNoFurther) {
    testing::internal::CaptureStdout();
    WriteFile(m_dir / "defs.sql", "CREATE TABLE t (v text);\nCREATE TABLE u (v text);\n");
    RunSqlFile(m_child, m_dir / "defs.sql");
    std::string rows;
    for (int i = 0; i < 200; ++i)
        rows += "INSERT INTO t VALUES ('" + std::string(20000, 'a' + i % 26) + "');\n";
    rows += "INSERT INTO u VALUES ('small');\n";
    WriteFile(m_dir / "rows.sql", rows);
    SLoadReport report;
    EXPECT_EQ(InsertRowStatements(m_child, m_dir / "rows.sql", nullptr, &report), 1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(report.bFull) << out;
    EXPECT_EQ(report.nFailed, 1);  // the load stopped at the first full write
    EXPECT_EQ(report.tables, std::vector<std::string>{"t"});
    // Nothing went in one by one after the transaction was lost.
    EXPECT_EQ(Column(m_child.db, "select count(*) from t"), std::vector<std::string>{"0"});
    EXPECT_EQ(Column(m_child.db, "select count(*) from u"), std::vector<std::string>{"0"});
}

}  // namespace

}  // namespace workspace
