// .import, .separator and .read as the package import drives them, on real database files.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "tavrin/shell/shell_test_support.h"

namespace shell {

namespace {

using test::captureStderr;
using test::CTempFolder;
using test::queryRows;
using test::runCommand;
using test::runLine;
using test::writeFile;

class ImportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        openShell(m_state, (m_folder / "Parent.db").c_str());
        ASSERT_NE(m_state.m_pDb, nullptr);
    }
    void exec(const char* sql) {
        ASSERT_EQ(sqlite3_exec(m_state.m_pDb, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    }
    // Imports bytes into table, returns the result; the message goes to m_strErr.
    int import(const std::string& bytes, const std::string& table) {
        std::string path = (m_folder / "data.txt");
        writeFile(path, bytes);
        int rc = -1;
        m_strErr = captureStderr([&] { rc = runCommand(m_state, {"import", path, table}); });
        return rc;
    }
    std::string rows(const char* sql) { return queryRows(m_state.m_pDb, sql); }
    // The message for a record of data.txt with the wrong number of fields.
    std::string fieldCountError(int line, int expected, int found) {
        return "Error: " + (m_folder / "data.txt") + " line " + std::to_string(line) +
               ": expected " + std::to_string(expected) + " columns of data but found " +
               std::to_string(found) + "\n";
    }

    CTempFolder m_folder;
    ShellState m_state;
    std::string m_strErr;
};

TEST_F(ImportTest, SeparatorFromBothEntryPoints) {
    EXPECT_EQ(runCommand(m_state, {"separator", "\t"}), 0);
    EXPECT_EQ(m_state.m_strSeparator, "\t");
    EXPECT_EQ(runLine(m_state, ".separator ,"), 0);
    EXPECT_EQ(m_state.m_strSeparator, ",");
    EXPECT_EQ(runLine(m_state, ".sep \\t"), 0);  // abbreviated, escape resolved
    EXPECT_EQ(m_state.m_strSeparator, "\t");
    // The argument-vector form takes bytes as given: no escapes there.
    EXPECT_EQ(runCommand(m_state, {"separator", "\\t"}), 0);
    EXPECT_EQ(m_state.m_strSeparator, "\\t");
    EXPECT_EQ(runCommand(m_state, {"separator", "abcdefghijklmnopqrstuvwxy"}), 0);
    EXPECT_EQ(m_state.m_strSeparator, "abcdefghijklmnopqrs");
}

TEST_F(ImportTest, TabDumpWithQuotingAndLineEnds) {
    exec("CREATE TABLE t(a, b, c)");
    runCommand(m_state, {"separator", "\t"});
    EXPECT_EQ(import("1\tx\t\r\n2\t\"q\"\"uote\"\tz\n\"multi\nline\"\tm\tn\n", "t"), 0);
    EXPECT_EQ(m_strErr, "");
    // Empty fields are empty texts, never NULL; every value is text.
    EXPECT_EQ(rows("SELECT a, b, c, typeof(c), typeof(a) FROM t ORDER BY rowid"),
              "1|x||text|text\n2|q\"uote|z|text|text\nmulti\nline|m|n|text|text\n");
}

TEST_F(ImportTest, CommaDumpKeepsQuotedSeparatorsAndUnquotedQuotes) {
    exec("CREATE TABLE t(a, b, c)");
    runCommand(m_state, {"separator", ","});
    EXPECT_EQ(import("a,\"b,c\",d\nx\"y\",p,\"q\"\"r\"\n", "t"), 0) << m_strErr;
    // A field that does not begin with a quote keeps its quotes; inside a quoted field a
    // quote is dropped and the byte after it kept.
    EXPECT_EQ(rows("SELECT a, b, c FROM t ORDER BY rowid"), "a|b,c|d\nx\"y\"|p|q\"r\n");
}

TEST_F(ImportTest, WrongFieldCountRollsBackTheWholeImport) {
    exec("CREATE TABLE t(a, b)");
    runCommand(m_state, {"separator", ","});
    EXPECT_EQ(import("1,2\n3,4\n5,6,7,8\n9,10\n", "t"), 1);
    EXPECT_EQ(m_strErr, fieldCountError(3, 2, 4));
    EXPECT_EQ(rows("SELECT count(*) FROM t"), "0\n");
    // Too few fields; the line number counts the physical lines of a quoted field.
    EXPECT_EQ(import("\"a\nb\",c\nsingle\n", "t"), 1);
    EXPECT_EQ(m_strErr, fieldCountError(3, 2, 1));
    EXPECT_EQ(rows("SELECT count(*) FROM t"), "0\n");
    // The connection is usable afterwards: no transaction was left open.
    EXPECT_EQ(import("1,2\n", "t"), 0);
    EXPECT_EQ(rows("SELECT a, b FROM t"), "1|2\n");
}

TEST_F(ImportTest, LineNumbersCountTheLineFeedsOfEveryQuotedStretch) {
    exec("CREATE TABLE t(a, b)");
    runCommand(m_state, {"separator", ","});
    // Line feeds in two quoted fields of one record, one of them between doubled quotes;
    // the bad record starts on physical line 5.
    EXPECT_EQ(import("\"a\n\"\"\n\"\"b\",\"c\nd\"\nbad\n", "t"), 1);
    EXPECT_EQ(m_strErr, fieldCountError(5, 2, 1));
    EXPECT_EQ(import("\"a\n\"\"\n\"\"b\",\"c\nd\"\n", "t"), 0) << m_strErr;
    EXPECT_EQ(rows("SELECT a, b FROM t"), "a\n\"\n\"b|c\nd\n");
}

TEST_F(ImportTest, AQuoteLeftOpenSwallowsTheFollowingLines) {
    exec("CREATE TABLE t(a, b, c)");
    runCommand(m_state, {"separator", ","});
    // No separator splits inside the open quote, so the rest of the file is one field.
    EXPECT_EQ(import("a,\"b\nc,d\ne,f,g\n", "t"), 1);
    EXPECT_EQ(m_strErr, fieldCountError(4, 3, 2));
    EXPECT_EQ(rows("SELECT count(*) FROM t"), "0\n");
}

TEST_F(ImportTest, RowRejectedByTheDatabaseRollsBack) {
    exec("CREATE TABLE t(a PRIMARY KEY, b NOT NULL)");
    runCommand(m_state, {"separator", "|"});
    EXPECT_EQ(import("1|x\n2|y\n1|z\n", "t"), 1);
    EXPECT_EQ(m_strErr, "Error: UNIQUE constraint failed: t.a\n");
    EXPECT_EQ(rows("SELECT count(*) FROM t"), "0\n");
}

TEST_F(ImportTest, EdgeFiles) {
    exec("CREATE TABLE one(a); CREATE TABLE two(a, b)");
    runCommand(m_state, {"separator", "\t"});
    EXPECT_EQ(import("", "two"), 0);
    EXPECT_EQ(rows("SELECT count(*) FROM two"), "0\n");
    // An empty line is one empty field.
    EXPECT_EQ(import("\n\xEF\xBB\xBFx\n", "one"), 0);
    EXPECT_EQ(rows("SELECT quote(a) FROM one ORDER BY rowid"), "''\n'\xEF\xBB\xBFx'\n");
    EXPECT_EQ(import("\n", "two"), 1);
    EXPECT_EQ(m_strErr, fieldCountError(1, 2, 1));
}

TEST_F(ImportTest, MultiByteSeparatorSplitsOnlyWhereItStandsWhole) {
    exec("CREATE TABLE t(a, b, c)");
    runCommand(m_state, {"separator", "::"});
    EXPECT_EQ(import("a:b::c::d:\nx::::y\n", "t"), 0) << m_strErr;
    EXPECT_EQ(rows("SELECT a, b, c FROM t ORDER BY rowid"), "a:b|c|d:\nx||y\n");
}

TEST_F(ImportTest, Failures) {
    exec("CREATE TABLE t(a)");
    std::string path = (m_folder / "data.txt");
    writeFile(path, "x\n");
    std::string err = captureStderr([&] {
        EXPECT_EQ(runCommand(m_state, {"import", path, "missing"}), 1);
    });
    EXPECT_EQ(err, "Error: no such table: missing\n");
    err = captureStderr([&] {
        EXPECT_EQ(runCommand(m_state, {"import", m_folder / "nope.txt", "t"}), 1);
    });
    EXPECT_EQ(err, "Error: cannot open \"" + (m_folder / "nope.txt") + "\"\n");
    runCommand(m_state, {"separator", ""});
    err = captureStderr([&] { EXPECT_EQ(runCommand(m_state, {"import", path, "t"}), 1); });
    EXPECT_EQ(err, "Error: non-null separator required for import\n");
    exec("CREATE VIEW v AS SELECT 1 AS x");
    runCommand(m_state, {"separator", "|"});
    err = captureStderr([&] { EXPECT_EQ(runCommand(m_state, {"import", path, "v"}), 1); });
    EXPECT_EQ(err, "Error: cannot modify v because it is a view\n");
}

TEST_F(ImportTest, FastImportRestoresJournalSettingsAndStillRollsBack) {
    // Set before openShell, as a caller may do; openShell keeps it.
    m_state.m_bFastImport = true;
    openShell(m_state, (m_folder / "Parent.db").c_str());
    ASSERT_TRUE(m_state.m_bFastImport);
    exec("CREATE TABLE t(a, b)");
    runCommand(m_state, {"separator", ","});
    EXPECT_EQ(import("1,2\n3,4\n", "t"), 0);
    EXPECT_EQ(import("5,6\n7\n", "t"), 1);
    EXPECT_EQ(rows("SELECT a, b FROM t ORDER BY rowid"), "1|2\n3|4\n");
    EXPECT_EQ(rows("PRAGMA journal_mode"), "delete\n");
    EXPECT_EQ(rows("PRAGMA synchronous"), "2\n");
}

TEST_F(ImportTest, ReadRunsAScriptThatMayReadAnother) {
    writeFile(m_folder / "inner.sql", "INSERT INTO t VALUES('inner');\n");
    writeFile(m_folder / "table.sql", "CREATE TABLE t(a);\n.read " + (m_folder / "inner.sql") +
                                          "\nINSERT INTO t VALUES('outer');\n");
    EXPECT_EQ(runCommand(m_state, {"read", (m_folder / "table.sql")}), 0);
    EXPECT_EQ(rows("SELECT a FROM t ORDER BY rowid"), "inner\nouter\n");
    std::string err = captureStderr([&] {
        EXPECT_EQ(runCommand(m_state, {"read", (m_folder / "none.sql")}), 1);
    });
    EXPECT_EQ(err, "Error: cannot open \"" + (m_folder / "none.sql") + "\"\n");
    writeFile(m_folder / "bad.sql", "INSERT INTO missing_table VALUES(1);\n");
    err = captureStderr([&] {
        EXPECT_EQ(runCommand(m_state, {"read", (m_folder / "bad.sql")}), 1);
    });
    EXPECT_EQ(err, "Error: near line 1: no such table: missing_table\n");
}

TEST_F(ImportTest, AScriptThatReadsItselfStopsWithAnError) {
    std::string self = (m_folder / "self.sql");
    writeFile(self, ".read " + self + "\n");
    std::string err = captureStderr([&] { EXPECT_EQ(runCommand(m_state, {"read", self}), 1); });
    EXPECT_EQ(err, "Error: .read nested more than 64 deep: \"" + self + "\"\n");

    // Reading itself twice would run 2^64 scripts within the depth bound: the number of
    // nested runs is bounded too, each run counted by its row.
    exec("CREATE TEMP TABLE runs(a)");  // in memory: a thousand commits cost nothing
    writeFile(self, "INSERT INTO runs VALUES(1);\n.read " + self + "\n.read " + self + "\n");
    err = captureStderr([&] { EXPECT_EQ(runCommand(m_state, {"read", self}), 1); });
    EXPECT_EQ(err, "Error: .read nested more than 64 deep: \"" + self +
                       "\"\nError: more than 1000 nested .read commands: \"" + self + "\"\n");
    EXPECT_EQ(rows("SELECT count(*) FROM runs"), "1001\n");

    // The bound is per outermost .read: the next one starts afresh.
    writeFile(self, "INSERT INTO runs VALUES(2);\n");
    EXPECT_EQ(runCommand(m_state, {"read", self}), 0);
    EXPECT_EQ(rows("SELECT count(*) FROM runs WHERE a = 2"), "1\n");
}

TEST_F(ImportTest, FoldersAndUnreadableFilesAreErrorsNotEmptyInput) {
    exec("CREATE TABLE t(a)");
    const std::string folder = (m_folder / "");
    for (const char* command : {"read", "import"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> args = {command, folder};
        if (std::string(command) == "import") args.push_back("t");
        std::string err = captureStderr([&] { EXPECT_EQ(runCommand(m_state, args), 1); });
        EXPECT_EQ(err, "Error: cannot open \"" + folder + "\"\n");
    }
    // A file that opens but fails at its first read (this process's memory at address 0).
    std::string err = captureStderr([&] {
        EXPECT_EQ(runCommand(m_state, {"read", "/proc/self/mem"}), 1);
    });
    EXPECT_EQ(err, "Error: cannot read \"/proc/self/mem\"\n");
    exec("INSERT INTO t VALUES('kept')");
    err = captureStderr([&] {
        EXPECT_EQ(runCommand(m_state, {"import", "/proc/self/mem", "t"}), 1);
    });
    EXPECT_EQ(err, "Error: cannot read \"/proc/self/mem\"\n");
    EXPECT_EQ(rows("SELECT a FROM t"), "kept\n");
}

TEST(ShellOpen, ADatabaseThatCannotBeOpenedLeavesTheStateWithoutConnection) {
    CTempFolder folder;
    ShellState state;
    std::string path = (folder / "no/such/folder/x.db");
    std::string err = captureStderr([&] { EXPECT_EQ(openShell(state, path.c_str()), 0); });
    EXPECT_EQ(err,
              "Error: unable to open database \"" + path + "\": unable to open database file\n");
    EXPECT_EQ(state.m_pDb, nullptr);
    EXPECT_EQ(state.m_nMode, kModeList);
    EXPECT_EQ(state.m_strSeparator, "|");
    EXPECT_EQ(state.m_pOut, nullptr);
    // Commands that need the database fail with 1 and the process goes on.
    writeFile(folder / "d.txt", "x\n");
    err = captureStderr([&] {
        EXPECT_EQ(runCommand(state, {"import", folder / "d.txt", "t"}), 1);
    });
    EXPECT_EQ(err,
              "Error: unable to open database \"" + path + "\": unable to open database file\n");
    EXPECT_EQ(runCommand(state, {"separator", ","}), 0);
}

}  // namespace

namespace {

TEST_F(ImportTest, ProgressHookSeesTheFileAdvanceAndCanStopTheImport) {
    openShell(m_state, (m_folder / "Parent.db").c_str());
    exec("CREATE TABLE t(a, b)");
    runCommand(m_state, {"separator", ","});
    std::string data;
    for (int i = 0; i < 20000; ++i) data += std::to_string(i) + ",x\n";

    std::vector<std::uint64_t> seen;
    m_state.m_fnImportProgress = [&](std::uint64_t n) {
        seen.push_back(n);
        return true;
    };
    EXPECT_EQ(import(data, "t"), 0);
    EXPECT_EQ(rows("SELECT count(*) FROM t"), "20000\n");
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_LE(seen.back(), data.size());

    // A stop rolls the whole file back and says where it stopped.
    m_state.m_fnImportProgress = [](std::uint64_t) { return false; };
    EXPECT_EQ(import(data, "t"), 1);
    EXPECT_EQ(rows("SELECT count(*) FROM t"), "20000\n");
    EXPECT_NE(m_strErr.find("the import was stopped at line 4096"), std::string::npos) << m_strErr;
}

}  // namespace

namespace {

// Many rows go in through one statement; what is stored, in what order, and which error is
// told must not show it.
TEST_F(ImportTest, BatchedRowsKeepTheirOrderAndEachRowsTrigger) {
    exec(
        "CREATE TABLE t(a INTEGER, b, c); CREATE TABLE seen(n);"
        "CREATE TRIGGER t_in AFTER INSERT ON t BEGIN "
        "INSERT INTO seen VALUES((SELECT count(*) FROM t)); END");
    runCommand(m_state, {"separator", ","});
    std::string data;
    for (int i = 1; i <= 1001; ++i)
        data += std::to_string(i) + ",\"x" + std::to_string(i) + "\",\n";
    EXPECT_EQ(import(data, "t"), 0) << m_strErr;
    EXPECT_EQ(rows("SELECT count(*), min(a), max(a), sum(rowid != a), sum(typeof(a) != 'integer'),"
                   " sum(b != 'x' || a), sum(c != '') FROM t"),
              "1001|1|1001|0|0|0|0\n");
    // Each row's trigger ran before the next row went in.
    EXPECT_EQ(rows("SELECT count(*), sum(n != rowid) FROM seen"), "1001|0\n");
}

TEST_F(ImportTest, TheFirstFailingLineIsToldWhateverComesAfterIt) {
    exec("CREATE TABLE t(a PRIMARY KEY, b)");
    runCommand(m_state, {"separator", ","});
    // A duplicate key on line 40 and too few fields on line 50: the key is told, as when
    // each row went in before the next line was read.
    std::string data;
    for (int i = 1; i <= 60; ++i) {
        data += (i == 40 ? std::string("1") : std::to_string(i)) + (i == 50 ? "\n" : ",b\n");
    }
    EXPECT_EQ(import(data, "t"), 1);
    EXPECT_EQ(m_strErr, "Error: UNIQUE constraint failed: t.a\n");
    EXPECT_EQ(rows("SELECT count(*) FROM t"), "0\n");
    // The same duplicate in the last rows of the file, fewer than a batch.
    EXPECT_EQ(import("1,a\n2,b\n1,c\n", "t"), 1);
    EXPECT_EQ(m_strErr, "Error: UNIQUE constraint failed: t.a\n");
    // A field-count error with good rows before it in the batch: those rows are not told.
    EXPECT_EQ(import("1,a\n2,b\n3\n", "t"), 1);
    EXPECT_EQ(m_strErr, fieldCountError(3, 2, 1));
    EXPECT_EQ(rows("SELECT count(*) FROM t"), "0\n");

    // A duplicate just before the progress hook is asked: the duplicate is told, not a stop.
    data.clear();
    for (int i = 1; i <= 5000; ++i) data += std::to_string(i == 4090 ? 7 : i) + ",b\n";
    m_state.m_fnImportProgress = [](std::uint64_t) { return false; };
    EXPECT_EQ(import(data, "t"), 1);
    EXPECT_EQ(m_strErr, "Error: UNIQUE constraint failed: t.a\n");
}

TEST_F(ImportTest, ASmallParameterLimitLoadsRowByRow) {
    exec("CREATE TABLE t(a, b, c)");
    runCommand(m_state, {"separator", "\t"});
    std::string data;
    for (int i = 0; i < 100; ++i) data += std::to_string(i) + "\tb\tc\n";
    // Room for no batch, then for batches of two rows.
    for (int limit : {5, 7}) {
        sqlite3_limit(m_state.m_pDb, SQLITE_LIMIT_VARIABLE_NUMBER, limit);
        exec("DELETE FROM t");
        EXPECT_EQ(import(data, "t"), 0) << m_strErr;
        EXPECT_EQ(rows("SELECT count(*), sum(CAST(a AS INTEGER) != rowid - 1) FROM t"), "100|0\n");
    }
}

TEST_F(ImportTest, LongRowsGoInWithoutWaitingForAFullBatch) {
    exec("CREATE TABLE t(a, b)");
    runCommand(m_state, {"separator", "\t"});
    // Rows of 300 kB and short ones mixed: some go in alone, the rest in batches.
    std::string data;
    for (int i = 0; i < 40; ++i) {
        data += std::to_string(i) + "\t" + std::string(i % 3 ? 10 : 300000, 'a' + i % 26) + "\n";
    }
    EXPECT_EQ(import(data, "t"), 0) << m_strErr;
    EXPECT_EQ(rows("SELECT count(*), sum(CAST(a AS INTEGER) != rowid - 1), sum(length(b)),"
                   " sum(substr(b, 1, 1) != char(97 + (rowid - 1) % 26)) FROM t"),
              "40|0|" + std::to_string(14 * 300000 + 26 * 10) + "|0\n");
}

TEST_F(ImportTest, AFieldEndsAtItsFirstZeroByte) {
    exec("CREATE TABLE t(a, b)");
    runCommand(m_state, {"separator", ","});
    // Lines with zero bytes among lines without, in one batch; quoted and plain fields.
    const char data[] = "a\0x,b\n\"q\0\"\"\",r\nplain,\"quo\"\"ted\"\n";
    EXPECT_EQ(import(std::string(data, sizeof data - 1), "t"), 0) << m_strErr;
    EXPECT_EQ(rows("SELECT a, b, length(a) FROM t ORDER BY rowid"),
              "a|b|1\nq|r|1\nplain|quo\"ted|5\n");
}

}  // namespace

}  // namespace shell
