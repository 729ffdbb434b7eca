// The growing-text completeness check against the library's own sqlite3_complete, and a script
// whose early quote never closes, which must read in time proportional to its length.
#include "tavrin/shell/sql_complete.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <string>

#include "tavrin/shell/shell_test_support.h"

namespace shell {

namespace {

// Texts made of the pieces that matter to the check, in random order and cut anywhere.
std::string RandomSql(std::mt19937& random) {
    static const char* const kPieces[] = {
        ";",   " ",       "\n",      "\t",     "\r",      "\f",        "\v",      "x",        "'",
        "\"",  "`",       "[",       "]",      "/",       "*",         "-",       "/*",       "*/",
        "--",  "create",  "CREATE",  "Create", "temp",    "TEMPORARY", "trigger", "TRIGGER",  "end",
        "END", "explain", "EXPLAIN", "ends",   "creates", "_end",      "$x",      "\xC3\xA9", "e",
        "9",   "(",       ")",       "endx",   "begin",   "select 1",  "tempx",   "\0",
    };
    std::string text;
    const int n = static_cast<int>(random() % 24);
    for (int i = 0; i < n; ++i) {
        const char* piece = kPieces[random() % (sizeof kPieces / sizeof kPieces[0])];
        if (*piece == '\0')
            text.push_back('\0');
        else
            text += piece;
    }
    return text;
}

TEST(SqlCompleteness, AgreesWithTheLibraryWhateverPiecesTheTextArrivesIn) {
    std::mt19937 random(11);
    for (int round = 0; round < 40000; ++round) {
        const std::string text = RandomSql(random);
        CSqlCompleteness check;
        // Fed in random pieces, asked in between, as lines arrive.
        std::size_t fed = 0;
        while (fed < text.size()) {
            std::size_t piece = 1 + random() % (text.size() - fed);
            check.Feed(text.data() + fed, piece);
            fed += piece;
            const std::string sofar = text.substr(0, fed);
            ASSERT_EQ(check.Complete(), sqlite3_complete(sofar.c_str()) != 0)
                << "after " << fed << " bytes of [" << text << "]";
            ASSERT_EQ(check.CompleteWith(';'), sqlite3_complete((sofar + ";").c_str()) != 0)
                << "with ';' after [" << sofar << "]";
        }
        ASSERT_EQ(check.Complete(), sqlite3_complete(text.c_str()) != 0) << "[" << text << "]";
        check.Reset();
        EXPECT_FALSE(check.Complete());
    }
}

TEST(SqlCompleteness, TriggersNeedTheirEnd) {
    CSqlCompleteness check;
    const std::string trigger =
        "CREATE TEMP TRIGGER tr AFTER INSERT ON t BEGIN INSERT INTO u VALUES(1);";
    check.Feed(trigger.data(), trigger.size());
    EXPECT_FALSE(check.Complete());
    check.Feed(" END", 4);
    EXPECT_FALSE(check.Complete());
    EXPECT_TRUE(check.CompleteWith(';'));
}

// An apostrophe on the first line that never closes makes every later line part of one
// statement. Read in quadratic time this script would take tens of minutes, past any test's
// time limit; read linearly, a moment.
TEST(SqlCompleteness, AScriptWithAnEarlyUnclosedQuoteReadsInLinearTime) {
    common::test::CTempFolder folder;
    std::string script = "CREATE TABLE t(a);\nINSERT INTO t VALUES('never closed);\n";
    for (int i = 0; i < 1000000; ++i) script += "x;\n";
    script += "SELECT 1;\n";
    test::writeFile(folder / "s.sql", script);
    ShellState state;
    openShell(state, (folder / "p.db").c_str());
    std::FILE* in = std::fopen((folder / "s.sql").c_str(), "rb");
    ASSERT_NE(in, nullptr);
    std::string err = test::captureStderr([&] { EXPECT_EQ(runScript(state, in), 0); });
    std::fclose(in);
    EXPECT_EQ(err.rfind("Error: incomplete SQL: INSERT INTO t VALUES('never closed);\nx;\nx;\n", 0),
              0u);
    EXPECT_EQ(test::queryRows(state.m_pDb, "SELECT count(*) FROM t"), "0\n");
}

}  // namespace

}  // namespace shell
