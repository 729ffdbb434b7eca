// runScript and runSql on real database files: statement collection, terminators, start
// lines in messages, incomplete input, bail.
#include <gtest/gtest.h>

#include "tavrin/shell/shell_test_support.h"

namespace shell {

namespace {

using test::captureStderr;
using test::COutputFile;
using test::CTempFolder;
using test::queryRows;
using test::writeFile;

class ScriptTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_bBail = false;
        openShell(m_state, (m_folder / "s.db").c_str());
        ASSERT_NE(m_state.m_pDb, nullptr);
        m_output.attach();
    }
    void TearDown() override { g_bBail = false; }
    // Runs script text; returns the result, stderr in m_strErr, output in m_strOut.
    int run(const std::string& script) {
        std::string path = (m_folder / "script.sql");
        writeFile(path, script);
        std::FILE* in = std::fopen(path.c_str(), "rb");
        int rc = -1;
        m_output.clear();
        m_strErr = captureStderr([&] { rc = runScript(m_state, in); });
        std::fclose(in);
        m_strOut = m_output.text();
        return rc;
    }
    std::string rows(const char* sql) { return queryRows(m_state.m_pDb, sql); }

    CTempFolder m_folder;
    ShellState m_state;
    COutputFile m_output{m_folder, m_state};
    std::string m_strErr;
    std::string m_strOut;
};

TEST_F(ScriptTest, TerminatorLinesRunAStatementThatLacksItsSemicolon) {
    EXPECT_EQ(run("CREATE TABLE t(a)\ngo\nINSERT INTO t VALUES(1)\n  GO  -- done\n"
                  "INSERT INTO t VALUES(2)\n/\nSELECT a FROM t\n  Go\n"),
              0);
    EXPECT_EQ(m_strErr, "");
    EXPECT_EQ(m_strOut, "1\n2\n");
    // Inside an unfinished string literal "go" is text, not a terminator.
    EXPECT_EQ(run("SELECT 'a\ngo\nb';\n"), 0);
    EXPECT_EQ(m_strOut, "a\ngo\nb\n");
}

TEST_F(ScriptTest, DotLinesArePlainSqlWhileAStatementIsPending) {
    EXPECT_EQ(run("SELECT x\n.mode csv\n;\n"), 1);
    // The ".mode csv" line became part of the statement, which then fails as SQL.
    EXPECT_EQ(m_strErr, "Error: near line 1: no such column: x.mode\n");
    EXPECT_EQ(m_state.m_nMode, kModeList);
}

TEST_F(ScriptTest, ErrorsNameTheLineTheStatementBeganOn) {
    EXPECT_EQ(run("\n-- comment\n\n/* block comment */ -- more\n   \n\nSELECT\n  1 +\n  nosuch;\n"),
              1);
    EXPECT_EQ(m_strErr, "Error: near line 7: no such column: nosuch\n");
}

TEST_F(ScriptTest, AFailedStatementStopsTheRestOfItsLineOnly) {
    EXPECT_EQ(run("CREATE TABLE t(a);\nINSERT INTO nope VALUES(1); INSERT INTO t VALUES(1);\n"
                  "INSERT INTO t VALUES(2);\n"),
              1);
    EXPECT_EQ(m_strErr, "Error: near line 2: no such table: nope\n");
    EXPECT_EQ(rows("SELECT a FROM t"), "2\n");
}

TEST_F(ScriptTest, TwoStatementsOnALineRunInOrder) {
    EXPECT_EQ(run("CREATE TABLE t(a); INSERT INTO t VALUES(1); INSERT INTO t VALUES(2);\n"), 0);
    EXPECT_EQ(rows("SELECT group_concat(a) FROM t"), "1,2\n");
}

TEST_F(ScriptTest, IncompleteLastStatementIsReportedAndNotRun) {
    EXPECT_EQ(run("CREATE TABLE t(a);\nINSERT INTO t\n VALUES(1)"), 0);
    EXPECT_EQ(m_strErr, "Error: incomplete SQL: INSERT INTO t\n VALUES(1)\n");
    EXPECT_EQ(rows("SELECT count(*) FROM t"), "0\n");
    // A trailing comment only is nothing pending; an unclosed comment is incomplete.
    EXPECT_EQ(run("SELECT 1;\n-- the end\n"), 0);
    EXPECT_EQ(m_strErr, "");
    EXPECT_EQ(run("SELECT 1;\n/* never closed\n"), 0);
    EXPECT_EQ(m_strErr, "Error: incomplete SQL: /* never closed\n");
}

TEST_F(ScriptTest, BailStopsAfterTheFirstFailure) {
    EXPECT_EQ(run(".bail on\nSELECT x;\nCREATE TABLE after(a);\n"), 1);
    EXPECT_TRUE(g_bBail);
    EXPECT_EQ(m_strErr, "Error: near line 2: no such column: x\n");
    EXPECT_EQ(rows("SELECT count(*) FROM sqlite_master"), "0\n");
    g_bBail = false;
    EXPECT_EQ(run(".unknown\nSELECT x;\nCREATE TABLE after(a);\n"), 1);
    EXPECT_EQ(m_strErr,
              "Error: unknown command or invalid arguments:  \"unknown\". Enter \".help\" for "
              "help\nError: near line 2: no such column: x\n");
    EXPECT_EQ(rows("SELECT count(*) FROM sqlite_master"), "1\n");
}

TEST_F(ScriptTest, QuitAndExitEndOnlyTheCurrentScript) {
    writeFile(m_folder / "inner.sql", "SELECT 'inner';\n.quit\nSELECT 'never';\n");
    EXPECT_EQ(run(".read " + (m_folder / "inner.sql") + "\nSELECT 'outer';\n.e\nSELECT 'no';\n"),
              0);
    EXPECT_EQ(m_strOut, "inner\nouter\n");
    EXPECT_EQ(m_strErr, "");
}

TEST_F(ScriptTest, EchoWritesStatementsToTheOutputAndDotLinesToStandardOutput) {
    std::string out = test::captureStdout(
        [&] { EXPECT_EQ(run(".echo on\nSELECT 1;  SELECT 2;\n.echo off\nSELECT 3;\n"), 0); });
    EXPECT_EQ(out, ".echo off\n");
    EXPECT_EQ(m_strOut, "SELECT 1;\n1\nSELECT 2;\n2\n3\n");
}

TEST_F(ScriptTest, TimerPrintsCpuTimesAfterEachStatement) {
    std::string out =
        test::captureStdout([&] { EXPECT_EQ(run(".timer on\nSELECT 1;\n.timer off\n"), 0); });
    g_bTimer = false;
    EXPECT_EQ(out.rfind("CPU Time: user ", 0), 0u) << out;
    EXPECT_NE(out.find(" sys "), std::string::npos);
    EXPECT_EQ(out.back(), '\n');
}

TEST(RunSql, ReportsTheLibraryMessageAndCode) {
    CTempFolder folder;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "r.db").c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(
        runSql(db, "CREATE TABLE t(a UNIQUE); INSERT INTO t VALUES(1);", nullptr, nullptr, &error),
        SQLITE_OK);
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(
        runSql(db, "INSERT INTO t VALUES(1); INSERT INTO t VALUES(2);", nullptr, nullptr, &error),
        SQLITE_CONSTRAINT);
    ASSERT_NE(error, nullptr);
    EXPECT_STREQ(error, "UNIQUE constraint failed: t.a");
    sqlite3_free(error);
    EXPECT_EQ(queryRows(db, "SELECT count(*) FROM t"), "1\n");
    EXPECT_EQ(runSql(db, "  -- only a comment\n", nullptr, nullptr, &error), SQLITE_OK);
    EXPECT_EQ(runSql(nullptr, "SELECT 1", nullptr, nullptr, &error), SQLITE_MISUSE);
    sqlite3_free(error);
    sqlite3_close(db);
}

}  // namespace

}  // namespace shell
