// The command table: dispatch and abbreviations, and the further commands on real files.
#include <gtest/gtest.h>

#include <algorithm>

#include "tavrin/shell/shell_test_support.h"

namespace shell {

namespace {

using test::captureStderr;
using test::captureStdout;
using test::COutputFile;
using test::CTempFolder;
using test::queryRows;
using test::readFile;
using test::runCommand;
using test::runLine;
using test::writeFile;

class CommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_bBail = false;
        openShell(m_state, (m_folder / "c.db").c_str());
        ASSERT_NE(m_state.m_pDb, nullptr);
        m_output.attach();
    }
    void TearDown() override { g_bBail = false; }
    void exec(const char* sql) {
        ASSERT_EQ(sqlite3_exec(m_state.m_pDb, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    }
    // Runs one command line; result in return, stderr in m_strErr, output in m_strOut.
    int line(const std::string& text) {
        int rc = -1;
        m_output.clear();
        m_strErr = captureStderr([&] { rc = runLine(m_state, text); });
        m_strOut = m_output.text();
        return rc;
    }

    CTempFolder m_folder;
    ShellState m_state;
    COutputFile m_output{m_folder, m_state};
    std::string m_strErr;
    std::string m_strOut;
};

const char kUnknown[] =
    "Error: unknown command or invalid arguments:  \"%s\". Enter \".help\" for help\n";

std::string unknown(const std::string& word) {
    std::string text = kUnknown;
    return text.replace(text.find("%s"), 2, word);
}

TEST_F(CommandTest, DispatchFollowsTableOrderLengthAndArgumentCount) {
    exec("CREATE TABLE t(a); CREATE INDEX t_a ON t(a)");
    writeFile(m_folder / "d.txt", "v\n");
    EXPECT_EQ(line(".i t"), 0);  // one argument: indices
    EXPECT_EQ(m_strOut, "t_a\n");
    EXPECT_EQ(line(".i " + (m_folder / "d.txt") + " t"), 0);  // two: import
    EXPECT_EQ(queryRows(m_state.m_pDb, "SELECT a FROM t"), "v\n");
    EXPECT_EQ(line(".e"), 2);  // alone: exit (echo needs an argument)
    EXPECT_EQ(line(".e on"), 0);
    EXPECT_TRUE(m_state.m_bEcho);
    EXPECT_EQ(line(".h off"), 0);  // one argument: headers
    EXPECT_EQ(line(".q"), 2);
    EXPECT_EQ(line(".q now"), 1);  // quit takes no argument
    EXPECT_EQ(m_strErr, unknown("q"));
    // Minimum lengths: .b is too short for backup, bail and breakpoint; .re for read.
    EXPECT_EQ(line(".b on"), 1);
    EXPECT_EQ(m_strErr, unknown("b"));
    EXPECT_EQ(line(".re x"), 1);
    EXPECT_EQ(line(".bai yes"), 0);
    EXPECT_TRUE(g_bBail);
    // Case-sensitive, and a word longer than the name never matches.
    EXPECT_EQ(line(".SHOW"), 1);
    EXPECT_EQ(line(".shows"), 1);
    EXPECT_EQ(m_strErr, unknown("shows"));
    // .s with one argument is schema, .se is separator, .t X is trace, .ta lists tables.
    EXPECT_EQ(line(".se ;"), 0);
    EXPECT_EQ(m_state.m_strSeparator, ";");
    EXPECT_EQ(runCommand(m_state, {}), 0);
    EXPECT_EQ(line("."), 0);
    EXPECT_EQ(line(".   "), 0);
}

TEST_F(CommandTest, BooleanSettings) {
    EXPECT_EQ(line(".bail ON"), 0);
    EXPECT_TRUE(g_bBail);
    EXPECT_EQ(line(".bail 1"), 0);
    EXPECT_TRUE(g_bBail);
    EXPECT_EQ(line(".bail maybe"), 0);
    EXPECT_FALSE(g_bBail);
    EXPECT_EQ(m_strErr, "ERROR: Not a boolean value: \"maybe\". Assuming \"no\".\n");
    EXPECT_EQ(line(".headers yes"), 0);
    EXPECT_TRUE(m_state.m_bHeaders);
    EXPECT_EQ(line(".stats on"), 0);
    EXPECT_TRUE(m_state.m_bStats);
    int before = g_nBreakpoint;
    EXPECT_EQ(line(".breakpoint"), 0);
    EXPECT_EQ(g_nBreakpoint, before + 1);
}

TEST_F(CommandTest, ShowListsTheSettings) {
    line(".mode csv");
    line(".nullvalue \"N\\t\"");
    line(".width 5 0 -3");
    line(".explain on");
    line(".explain off");
    line(".width 5 0 -3");
    EXPECT_EQ(line(".show"), 0);
    EXPECT_EQ(m_strOut,
              "     echo: off\n"
              "  explain: off\n"
              "  headers: off\n"
              "     mode: csv\n"
              "nullvalue: \"N\\t\"\n"
              "   output: " +
                  (m_folder / "out.txt") +
                  "\n"
                  "separator: \",\"\n"
                  "    stats: off\n"
                  "    width: 5 -3 \n");
}

TEST_F(CommandTest, HelpTextIsExact) {
    std::string err;
    EXPECT_EQ(line(".help"), 0);
    err = m_strErr;
    const std::string indent(25, ' ');
    std::string expected =
        ".backup ?DB? FILE      Backup DB (default \"main\") to FILE\n"
        ".bail ON|OFF           Stop after hitting an error.  Default OFF\n"
        ".databases             List names and files of attached databases\n"
        ".dump ?TABLE? ...      Dump the database in an SQL text format\n" +
        indent + "If TABLE specified, only dump tables matching\n" + indent +
        "LIKE pattern TABLE.\n"
        ".echo ON|OFF           Turn command echo on or off\n"
        ".exit                  Exit this program\n"
        ".explain ?ON|OFF?      Turn output mode suitable for EXPLAIN on or off.\n" +
        indent +
        "With no args, it turns EXPLAIN on.\n"
        ".header(s) ON|OFF      Turn display of headers on or off\n"
        ".help                  Show this message\n"
        ".import FILE TABLE     Import data from FILE into TABLE\n"
        ".indices ?TABLE?       Show names of all indices\n" +
        indent + "If TABLE specified, only show indices for tables\n" + indent +
        "matching LIKE pattern TABLE.\n"
        ".load FILE ?ENTRY?     Load an extension library\n"
        ".log FILE|off          Turn logging on or off.  FILE can be stderr/stdout\n"
        ".mode MODE ?TABLE?     Set output mode where MODE is one of:\n" +
        indent + "csv      Comma-separated values\n" + indent +
        "column   Left-aligned columns.  (See .width)\n" + indent + "html     HTML <table> code\n" +
        indent + "insert   SQL insert statements for TABLE\n" + indent +
        "line     One value per line\n" + indent +
        "list     Values delimited by .separator string\n" + indent +
        "tabs     Tab-separated values\n" + indent +
        "tcl      TCL list elements\n"
        ".nullvalue STRING      Use STRING in place of NULL values\n"
        ".output FILENAME       Send output to FILENAME\n"
        ".output stdout         Send output to the screen\n"
        ".print STRING...       Print literal STRING\n"
        ".prompt MAIN CONTINUE  Replace the standard prompts\n"
        ".quit                  Exit this program\n"
        ".read FILENAME         Execute SQL in FILENAME\n"
        ".restore ?DB? FILE     Restore content of DB (default \"main\") from FILE\n"
        ".schema ?TABLE?        Show the CREATE statements\n" +
        indent + "If TABLE specified, only show tables matching\n" + indent +
        "LIKE pattern TABLE.\n"
        ".separator STRING      Change separator used by output mode and .import\n"
        ".show                  Show the current values for various settings\n"
        ".stats ON|OFF          Turn stats on or off\n"
        ".tables ?TABLE?        List names of tables\n" +
        indent + "If TABLE specified, only list tables matching\n" + indent +
        "LIKE pattern TABLE.\n"
        ".timeout MS            Try opening locked tables for MS milliseconds\n"
        ".trace FILE|off        Output each SQL statement as it is run\n"
        ".vfsname ?AUX?         Print the name of the VFS stack\n"
        ".width NUM1 NUM2 ...   Set column widths for \"column\" mode\n"
        ".timer ON|OFF          Turn the CPU timer measurement on or off\n";
    EXPECT_EQ(err, expected);
    EXPECT_EQ(m_strOut, "");
}

TEST_F(CommandTest, DumpReadBackRebuildsTablesRowsAndIndices) {
    exec(
        "CREATE TABLE a(id INTEGER PRIMARY KEY AUTOINCREMENT, t TEXT, r REAL, b BLOB, n);"
        "INSERT INTO a(t, r, b, n) VALUES('it''s', 0.1, x'0001ff', NULL);"
        "INSERT INTO a(t, r, b, n) VALUES('line\nbreak', 2.0, x'', 12);"
        "INSERT INTO a(t, r, b, n) VALUES('中文', -1e300, NULL, 'text');"
        // Digits that need all 17 places, the smallest subnormal, an infinity.
        "INSERT INTO a(t, r, b, n) VALUES('x', 0.1 + 0.2, 5e-324, 9e999);"
        "CREATE TABLE \"odd \"\"name\"(x); INSERT INTO \"odd \"\"name\" VALUES('y');"
        "CREATE INDEX a_t ON a(t); CREATE VIEW va AS SELECT t FROM a;"
        "CREATE TRIGGER tr AFTER INSERT ON a BEGIN SELECT 1; END;");
    EXPECT_EQ(line(".dump"), 0);
    std::string dump = m_strOut;
    EXPECT_EQ(dump.rfind("PRAGMA foreign_keys=OFF;\nBEGIN TRANSACTION;\n", 0), 0u);
    EXPECT_EQ(dump.substr(dump.size() - 8), "COMMIT;\n");
    writeFile(m_folder / "dump.sql", dump);

    ShellState copy;
    openShell(copy, (m_folder / "copy.db").c_str());
    std::string err = captureStderr([&] {
        EXPECT_EQ(runCommand(copy, {"read", (m_folder / "dump.sql")}), 0);
    });
    EXPECT_EQ(err, "");
    const char* probe[] = {
        "SELECT id, t, quote(r), quote(b), quote(n), typeof(n) FROM a ORDER BY id",
        "SELECT * FROM \"odd \"\"name\"",
        "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name",
        "SELECT * FROM sqlite_sequence",
    };
    for (const char* sql : probe) {
        EXPECT_EQ(queryRows(copy.m_pDb, sql), queryRows(m_state.m_pDb, sql)) << sql;
    }
    // A pattern dumps only the matching tables.
    EXPECT_EQ(line(".dump odd%"), 0);
    EXPECT_EQ(m_strOut,
              "PRAGMA foreign_keys=OFF;\nBEGIN TRANSACTION;\nCREATE TABLE \"odd \"\"name\"(x);\n"
              "INSERT INTO \"odd \"\"name\" VALUES('y');\nCOMMIT;\n");
}

TEST_F(CommandTest, BackupThenRestore) {
    exec("CREATE TABLE t(a); INSERT INTO t VALUES('kept')");
    std::string backup = (m_folder / "backup.db");
    EXPECT_EQ(line(".backup " + backup), 0);
    exec("DELETE FROM t; INSERT INTO t VALUES('changed')");
    EXPECT_EQ(line(".restore " + backup), 0);
    EXPECT_EQ(queryRows(m_state.m_pDb, "SELECT a FROM t"), "kept\n");
    EXPECT_EQ(line(".backup main -key secret " + (m_folder / "b2.db")), 0);
    EXPECT_EQ(line(".restore main " + (m_folder / "b2.db")), 0);
    EXPECT_EQ(queryRows(m_state.m_pDb, "SELECT a FROM t"), "kept\n");

    EXPECT_EQ(line(".backup"), 1);
    EXPECT_EQ(m_strErr, "missing FILENAME argument on .backup\n");
    EXPECT_EQ(line(".backup a b c"), 1);
    EXPECT_EQ(m_strErr, "too many arguments to .backup\n");
    EXPECT_EQ(line(".backup --zip x"), 1);
    EXPECT_EQ(m_strErr, "unknown option: --zip\n");
    EXPECT_EQ(line(".backup x -key"), 1);
    EXPECT_EQ(m_strErr, "unknown option: -key\n");
    std::string bad = (m_folder / "no/dir/x.db");
    EXPECT_EQ(line(".backup " + bad), 1);
    EXPECT_EQ(m_strErr, "Error: cannot open \"" + bad + "\"\n");
    EXPECT_EQ(line(".backup nosuchdb " + (m_folder / "b3.db")), 1);
    EXPECT_EQ(m_strErr, "Error: unknown database nosuchdb\n");
    // A missing source is an error, never an empty database restored over this one.
    std::string missing = (m_folder / "missing.db");
    EXPECT_EQ(line(".restore " + missing), 1);
    EXPECT_EQ(m_strErr, "Error: cannot open \"" + missing + "\"\n");
    EXPECT_EQ(queryRows(m_state.m_pDb, "SELECT a FROM t"), "kept\n");
}

TEST_F(CommandTest, SchemaTablesIndicesAndDatabases) {
    exec(
        "CREATE TABLE Alpha(a); CREATE TABLE beta(b); CREATE INDEX i_b ON beta(b);"
        "CREATE VIEW v AS SELECT 1;");
    EXPECT_EQ(line(".schema ALPHA"), 0);  // the pattern is lower-cased, names compared lower
    EXPECT_EQ(m_strOut, "CREATE TABLE Alpha(a);\n");
    EXPECT_EQ(line(".schema"), 0);
    EXPECT_EQ(m_strOut,
              "CREATE TABLE Alpha(a);\nCREATE TABLE beta(b);\nCREATE VIEW v AS SELECT 1;\n"
              "CREATE INDEX i_b ON beta(b);\n");
    EXPECT_EQ(line(".schema sqlite_master"), 0);
    EXPECT_EQ(m_strOut.rfind("CREATE TABLE sqlite_master (\n", 0), 0u);
    EXPECT_EQ(line(".indices beta"), 0);
    EXPECT_EQ(m_strOut, "i_b\n");
    EXPECT_EQ(line(".indices alpha"), 0);
    EXPECT_EQ(m_strOut, "");
    std::string out = captureStdout([&] { EXPECT_EQ(line(".tables"), 0); });
    EXPECT_EQ(out, "Alpha  beta   v    \n");
    out = captureStdout([&] { EXPECT_EQ(line(".ta b%"), 0); });
    EXPECT_EQ(out, "beta\n");
    // Not "aux.db": Windows reads AUX with any extension as a device name.
    exec(("ATTACH '" + (m_folder / "extra.db") + "' AS aux; CREATE TABLE aux.gamma(g)").c_str());
    out = captureStdout([&] { EXPECT_EQ(line(".tables"), 0); });
    EXPECT_EQ(out, "Alpha      aux.gamma  beta       v        \n");
    EXPECT_EQ(line(".databases"), 0);
    std::string expected = "seq  name             file" + std::string(54, ' ') + "\n" +
                           "---  ---------------  " + std::string(58, '-') + "\n";
    EXPECT_EQ(m_strOut.substr(0, expected.size()), expected);
    std::string file = (m_folder / "c.db");
#ifdef _WIN32
    std::replace(file.begin(), file.end(), '/', '\\');  // as the library's file system names it
#endif
    EXPECT_NE(m_strOut.find("0    main             " + file.substr(0, 58)), std::string::npos);
    EXPECT_NE(m_strOut.find("2    aux              "), std::string::npos);
    EXPECT_EQ(m_state.m_nMode, kModeList);  // the listing's mode does not stay
    EXPECT_FALSE(m_state.m_bHeaders);
}

TEST_F(CommandTest, OutputToFilesPipesAndStandardStreams) {
    std::string file = (m_folder / "o.txt");
    EXPECT_EQ(line(".output " + file), 0);
    EXPECT_EQ(line(".print hello   \"big world\""), 0);
    EXPECT_EQ(m_state.m_strOutputName, file);
    EXPECT_EQ(line(".output stdout"), 0);
    EXPECT_EQ(readFile(file), "hello big world\n");
    std::string out = captureStdout([&] { EXPECT_EQ(line(".print x"), 0); });
    EXPECT_EQ(out, "x\n");
#ifndef _WIN32  // tr is a POSIX program
    std::string piped = (m_folder / "piped.txt");
    EXPECT_EQ(line(".output \"|tr a-z A-Z > '" + piped + "'\""), 0);
    EXPECT_EQ(line(".print shout"), 0);
    EXPECT_EQ(line(".output off"), 1);  // back on standard output, without a message
    EXPECT_EQ(m_strErr, "");
    EXPECT_EQ(m_state.m_pOut, nullptr);
    EXPECT_EQ(readFile(piped), "SHOUT\n");
#endif
    std::string bad = (m_folder / "no/dir/o.txt");
    EXPECT_EQ(line(".output " + bad), 1);
    EXPECT_EQ(m_strErr, "Error: cannot write to \"" + bad + "\"\n");
}

TEST_F(CommandTest, TraceLogAndStatsStreams) {
    std::string trace = (m_folder / "trace.txt");
    EXPECT_EQ(line(".trace " + trace), 0);
    exec("CREATE TABLE t(a)");
    EXPECT_EQ(line(".trace off"), 0);
    exec("DROP TABLE t");
    EXPECT_EQ(readFile(trace), "CREATE TABLE t(a)\n");
    EXPECT_EQ(line(".log " + (m_folder / "log.txt")), 0);
    EXPECT_NE(m_state.m_pLog, nullptr);
    EXPECT_EQ(line(".log off"), 0);
    EXPECT_EQ(m_state.m_pLog, nullptr);
    EXPECT_EQ(line(".log " + (m_folder / "no/dir/l.txt")), 1);
    EXPECT_EQ(m_strErr, "Error: cannot open \"" + (m_folder / "no/dir/l.txt") + "\"\n");
}

TEST_F(CommandTest, LibraryCommands) {
    EXPECT_EQ(line(".version"), 0);
    EXPECT_EQ(m_strOut,
              std::string("SQLite ") + sqlite3_libversion() + " " + sqlite3_sourceid() + "\n");
    EXPECT_EQ(line(".vfsname"), 0);
#ifdef _WIN32
    EXPECT_EQ(m_strOut, "win32\n");
#else
    EXPECT_EQ(m_strOut, "unix\n");
#endif
    EXPECT_EQ(line(".timeout 250"), 0);
    EXPECT_EQ(line(".testctrl prng_save"), 0);
    EXPECT_EQ(m_strOut, "0 (0x00000000)\n");
    EXPECT_EQ(line(".testctrl prng_reset"), 1);  // gone from this library: said, not faked
    EXPECT_EQ(m_strErr, std::string("Error: test-control prng_reset is not available in SQLite ") +
                            sqlite3_libversion() + "\n");
    EXPECT_EQ(m_strOut, "");
    EXPECT_EQ(line(".testctrl nonsense"), 1);
    EXPECT_EQ(m_strErr, "Error: unrecognized test-control: nonsense\n");
    EXPECT_EQ(line(".load " + (m_folder / "none.so")), 1);
    EXPECT_EQ(m_strErr.rfind("Error: ", 0), 0u);
    EXPECT_EQ(line(".prompt A B"), 0);
    EXPECT_EQ(g_strMainPrompt, "A");
    EXPECT_EQ(g_strContinuePrompt, "B");
}

}  // namespace

}  // namespace shell
