#include "tavrin/sql_loader.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>

#include "tavrin/workspace_test_support.h"

namespace {

using wstest::TempFolder;
using wstest::WriteFile;

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

    TempFolder m_dir;
    DbHandle m_child;
};

TEST_F(SqlLoader, TableDefinitionsRunStatementByStatementAndGoOnAfterAFailure) {
    std::string out = Run(RunSqlFile,
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

TEST_F(SqlLoader, MissingFilesAreReportedAndLoadNothing) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunSqlFile(m_child, m_dir / "none.sql"), 0);
    EXPECT_EQ(InsertRowStatements(m_child, m_dir / "none.sql"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kOpenFailed + "2\n" + kOpenFailed + "2\n");
}

TEST_F(SqlLoader, RowStatementsCompleteOnTheirFirstClosingParenthesisSemicolon) {
    Run(RunSqlFile, "CREATE TABLE t (id int, v text);");
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
    Run(RunSqlFile, "CREATE TABLE t (id int);");
    m_child.SetError(sqlite3_mprintf("earlier message"));
    Run(Insert, "INSERT INTO nope VALUES (1);\n");
    ASSERT_NE(m_child.errmsg, nullptr);
    EXPECT_STREQ(m_child.errmsg, "earlier message");
}

TEST_F(SqlLoader, StatementsReachingOutsideTheDatabaseAreRefusedAndLoadingGoesOn) {
    TempFolder outside;
    const std::string target = outside / "stolen.db";
    Run(RunSqlFile,
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
                              outside.Path() +
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
    std::string out = Run(RunSqlFile,
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
    Run(RunSqlFile, "CREATE TABLE t (id int);");
    WriteFile(m_dir / "rows.sql", "INSERT INTO t VALUES (1);\nINSERT INTO t VALUES (2);\n");
    std::atomic<bool> stop{true};
    testing::internal::CaptureStdout();
    EXPECT_EQ(InsertRowStatements(m_child, m_dir / "rows.sql", &stop), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(Column(m_child.db, "select count(*) from t"), std::vector<std::string>{"0"});
    EXPECT_TRUE(sqlite3_get_autocommit(m_child.db));  // rolled back, not left open
}

}  // namespace
