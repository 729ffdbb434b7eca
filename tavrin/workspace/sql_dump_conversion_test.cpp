#include "tavrin/workspace/sql_dump_conversion.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <vector>

#include "common/testing/temp_folder.h"
#include "tavrin/shell/shell.h"
#include "tavrin/testing/workspace_test_support.h"

namespace workspace {

namespace {

using common::test::CTempFolder;
using workspace::test::ReadFile;
using workspace::test::WriteFile;

struct SplitResult {
    std::string rows, definitions, console;
};

SplitResult Split(const CTempFolder& dir, const std::string& dump) {
    WriteFile(dir / "sub_table_sms.sql", dump);
    testing::internal::CaptureStdout();
    SplitSqlDump(dir / "sub_table_sms.sql", dir / "mysql.sql", dir / "mysql1.sql");
    SplitResult r;
    r.console = testing::internal::GetCapturedStdout();
    r.rows = ReadFile(dir / "mysql.sql");
    r.definitions = ReadFile(dir / "mysql1.sql");
    return r;
}

TEST(SqlDumpConversion, SplitSortsAMysqlDumpIntoDefinitionsAndRows) {
    CTempFolder dir;
    const std::string dump =
        "-- MySQL dump 10.13\r\n"
        "/*!40101 SET NAMES gbk */;\r\n"
        "DROP TABLE IF EXISTS `t1`;\r\n"
        "CREATE TABLE `t1` (\r\n"
        "  `id` int(11) NOT NULL AUTO_INCREMENT,\r\n"
        "  `b` int(11) DEFAULT NULL auto_increment,\r\n"
        "  `c` int AUTO_INCREMENT auto_increment,\r\n"
        "  PRIMARY KEY (`id`)\r\n"
        ") ENGINE=InnoDB AUTO_INCREMENT=42 DEFAULT CHARSET=gbk;\r\n"
        "\r\n"
        "LOCK TABLES `t1` WRITE;\n"
        "INSERT INTO `t1` VALUES (1,'it\\'s'),(2,'x');\n"
        "UNLOCK TABLES;\n"
        ")no space\n"
        "insert lower case is dropped\n"
        "INSERT INTO `t1` VALUES (3,'last')";
    SplitResult r = Split(dir, dump);
    EXPECT_EQ(r.definitions,
              "CREATE TABLE `t1` (\r\n"
              "  `id` int(11) NOT NULL ,\r\n"
              "  `b` int(11) DEFAULT NULL ,\r\n"
              "  `c` int  auto_increment,\r\n"
              "  PRIMARY KEY (`id`)\r\n"
              ");\r\n");
    // The last line had no line end and gets none.
    EXPECT_EQ(r.rows,
              "INSERT INTO `t1` VALUES (1,'it\\''s'),(2,'x');\r\n"
              "INSERT INTO `t1` VALUES (3,'last')");
    EXPECT_EQ(r.console, "");
}

TEST(SqlDumpConversion, SplitRowsLoadIntoSqliteWithEveryValueIntact) {
    // Escaped quotes, an escaped backslash before a closing quote, other escapes kept as
    // written and GBK text: the rewritten statements must load every row with its value.
    CTempFolder dir;
    const std::string gbk = "\xC9\xF3\xBC\xC6";  // 审计
    const std::string dump =
        "CREATE TABLE `t` (\n"
        "  `id` int NOT NULL AUTO_INCREMENT,\n"
        "  `v` varchar(50)\n"
        ") ENGINE=MyISAM;\n"
        "INSERT INTO `t` VALUES (1,'a\\\\'),(2,'it\\'s'),(3,'c:\\\\dir\\n'),(4,'" +
        gbk + "'),(5,'\\\\\\'');\n";
    SplitResult r = Split(dir, dump);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, r.definitions.c_str(), nullptr, nullptr, &err), SQLITE_OK) << err;
    sqlite3_free(err);
    EXPECT_EQ(sqlite3_exec(db, r.rows.c_str(), nullptr, nullptr, &err), SQLITE_OK) << err;
    sqlite3_free(err);
    std::vector<std::string> values;
    sqlite3_exec(
        db, "select v from t order by id",
        [](void* p, int, char** v, char**) {
            static_cast<std::vector<std::string>*>(p)->push_back(v[0]);
            return 0;
        },
        &values, nullptr);
    sqlite3_close(db);
    // SQLite keeps the backslashes; the players read them as the appliance wrote them.
    EXPECT_EQ(values,
              (std::vector<std::string>{"a\\\\", "it\\'s", "c:\\\\dir\\n", gbk, "\\\\\\'"}));
}

TEST(SqlDumpConversion, LongLinesAreKeptWholeAndInvalidBytesPassUnchanged) {
    CTempFolder dir;
    std::string value(200000, 'x');
    value[1000] = '\\';
    value[1001] = '\'';
    std::string bytes = "\xFF\x80\xB4";  // not valid GBK or UTF-8
    std::string insert = "INSERT INTO t VALUES ('" + value + "');";
    SplitResult r = Split(dir, insert + "\n" + "INSERT INTO t VALUES ('" + bytes + "');\n");
    std::string expected = value;
    expected.insert(1002, "'");
    EXPECT_EQ(r.rows, "INSERT INTO t VALUES ('" + expected + "');\r\n" + "INSERT INTO t VALUES ('" +
                          bytes + "');\r\n");
}

TEST(SqlDumpConversion, EscapeRewritesPairEachBackslashWithTheByteAfterIt) {
    auto insert = [](std::string_view in) {
        std::string out;
        AppendInsertRewrite(in, out);
        return out;
    };
    EXPECT_EQ(insert("'a\\'b'"), "'a\\''b'");
    EXPECT_EQ(insert("'a\\\\'"), "'a\\\\'");         // escaped backslash keeps the quote
    EXPECT_EQ(insert("'a\\\\\\''"), "'a\\\\\\'''");  // \\ then \'
    EXPECT_EQ(insert("'\\\"x\\n'"), "'\\\"x\\n'");   // other escapes as written
    EXPECT_EQ(insert("end\\"), "end\\");             // a backslash at the end stays
    EXPECT_EQ(insert("\\'\\'"), "\\''\\''");

    auto doubled = [](std::string_view in) {
        std::string out;
        AppendDoubledQuotesRewrite(in, out);
        return out;
    };
    EXPECT_EQ(doubled("1,\"a\\\"b\\\"c\""), "1,\"a\"\"b\"\"c\"");
    EXPECT_EQ(doubled("1,\"a\\\\\",2"), "1,\"a\\\\\",2");  // value ending in an escaped backslash
    EXPECT_EQ(doubled("\\'x"), "\\'x");

    auto stripped = [](std::string_view in) {
        std::string out;
        AppendStrippedQuotesRewrite(in, out);
        return out;
    };
    EXPECT_EQ(stripped("a\\\"b\\\"c"), "abc");
    EXPECT_EQ(stripped("\\\"at start\\\""), "at start");
    // A backslash pairs with the byte after it: an escaped backslash before a quote leaves the
    // quote alone, whatever came before on the line.
    EXPECT_EQ(stripped("\"say \\\"hi\\\" in C:\\\\\""), "\"say hi in C:\\\"");
    EXPECT_EQ(stripped("x\\\\\"y\\\"z\\\\w"), "x\\\"yz\\w");
    EXPECT_EQ(stripped("\\\\\\\"q"), "\\q");  // \\ then \"
    EXPECT_EQ(stripped("p\\\\\\\\q"), "p\\\\q");
    EXPECT_EQ(stripped("\\n\\'\\t end\\"), "\\n\\'\\t end\\");  // other escapes as written
    EXPECT_EQ(stripped("plain"), "plain");

    auto noAuto = [](std::string_view in) {
        std::string out;
        AppendWithoutAutoIncrement(in, out);
        return out;
    };
    EXPECT_EQ(noAuto("  a AUTO_INCREMENT b auto_increment AUTO_INCREMENT"),
              "  a  b auto_increment ");
    EXPECT_EQ(noAuto("  a Auto_Increment"), "  a Auto_Increment");
}

TEST(SqlDumpConversion, QuoteConversionsWriteCrLfLinesAndKeepLinesWithoutPairs) {
    CTempFolder dir;
    WriteFile(dir / "in.bak", "1,\"a\\\"b\\\"\"\r\nplain,\"x\"\n\\\"s\\\\t\n\nlast");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(DoubleEscapedQuotes(dir / "in.bak", dir / "double.bak"));
    EXPECT_TRUE(StripEscapedQuotes(dir / "in.bak", dir / "strip.bak"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(ReadFile(dir / "double.bak"),
              "1,\"a\"\"b\"\"\"\r\nplain,\"x\"\r\n\"\"s\\\\t\r\n\r\nlast");
    EXPECT_EQ(ReadFile(dir / "strip.bak"), "1,\"ab\"\r\nplain,\"x\"\r\ns\\t\r\n\r\nlast");
}

// The text-matrix dump through the stripping and the real .import, as the import loads it.
TEST(SqlDumpConversion, StrippedMatrixDumpImportsOneRowPerLine) {
    CTempFolder dir;
    // A title ending in an escaped backslash must not swallow the lines after it.
    WriteFile(dir / "w_text_matrix.bak",
              "1,\"s1\",\"t\",\"say \\\"hi\\\" in C:\\\\\",\"x\"\r\n"
              "2,\"s2\",\"t\",\"C:\\\\\\\\server\\\\share\\\\\",\"\\\\\\\"\"\r\n"
              "3,\"s3\",\"t\",\"plain, with comma\",\"\\n stays\"\r\n");
    EXPECT_TRUE(StripEscapedQuotes(dir / "w_text_matrix.bak", dir / "w_text_matrix1.bak"));

    ShellState state;
    shell::openShell(state, (dir / "Parent.db").c_str());
    ASSERT_EQ(sqlite3_exec(state.m_pDb,
                           "CREATE TABLE w_text_matrix (id INTEGER, session_name TEXT, "
                           "window_time TEXT, window_title TEXT, window_text TEXT)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    std::string separator = ",", command = "separator";
    char* sep[] = {command.data(), separator.data()};
    ASSERT_EQ(shell::runDotCommand(2, sep, state), 0);
    std::string import = "import", file = dir / "w_text_matrix1.bak", table = "w_text_matrix";
    char* imp[] = {import.data(), file.data(), table.data()};
    testing::internal::CaptureStderr();
    EXPECT_EQ(shell::runDotCommand(3, imp, state), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    std::string rows;
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(state.m_pDb,
                                 "SELECT id, window_title, window_text FROM w_text_matrix "
                                 "ORDER BY id",
                                 -1, &stmt, nullptr),
              SQLITE_OK);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        rows += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        rows += '|';
        rows += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
        rows += '|';
        rows += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2));
        rows += '\n';
    }
    sqlite3_finalize(stmt);
    EXPECT_EQ(rows,
              "1|say hi in C:\\|x\n"
              "2|C:\\\\server\\share\\|\\\n"
              "3|plain, with comma|\\n stays\n");
}

TEST(SqlDumpConversion, StripWritesUnchangedOnlyTheLinesWithoutItsPairs) {
    // Lines with escapes the stripping leaves alone go out as read; the pairs it changes may
    // stand far into a line, after many other escapes, or at its very end.
    std::mt19937 random(7);
    const char alphabet[] = {'\\', '\\', '"', '\'', 'a', ','};
    std::string source, expected;
    for (int n = 0; n < 3000; ++n) {
        std::string line(random() % 200, 'a');
        for (char& c : line) c = alphabet[random() % sizeof alphabet];
        if (n % 3 == 0) {  // only escaped single quotes, as on most lines of a dump
            line.clear();
            for (int i = 0; i < 40; ++i) line += "x\\'";
            if (n % 2) line += (n % 4 == 1) ? "\\\\" : "\\\"";
        }
        source += line + "\n";
        AppendStrippedQuotesRewrite(line, expected);
        expected += "\r\n";
    }
    CTempFolder dir;
    WriteFile(dir / "in.bak", source);
    EXPECT_TRUE(StripEscapedQuotes(dir / "in.bak", dir / "strip.bak"));
    EXPECT_EQ(ReadFile(dir / "strip.bak"), expected);
}

TEST(SqlDumpConversion, EmptySourceGivesEmptyOutputs) {
    CTempFolder dir;
    SplitResult r = Split(dir, "");
    EXPECT_TRUE(workspace::test::Exists(dir / "mysql.sql"));
    EXPECT_TRUE(workspace::test::Exists(dir / "mysql1.sql"));
    EXPECT_EQ(r.rows, "");
    EXPECT_EQ(r.definitions, "");
    WriteFile(dir / "e.bak", "");
    EXPECT_TRUE(StripEscapedQuotes(dir / "e.bak", dir / "e1.bak"));
    EXPECT_EQ(ReadFile(dir / "e1.bak"), "");
}

TEST(SqlDumpConversion, FailuresAreReportedAndCreateNothingOrLoseNothing) {
    CTempFolder dir;
    const std::string readFailed = "\xB6\xC1\xC8\xA1sql\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC";
    const std::string createFailed = "\xB4\xB4\xBD\xA8sql\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC";

    // Missing source: one message with the error code, no output created.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(SplitSqlDump(dir / "none.sql", dir / "r.sql", dir / "d.sql"));
    EXPECT_FALSE(DoubleEscapedQuotes(dir / "none.bak", dir / "o.bak"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              readFailed + "2\n" + readFailed + "2\n");  // ENOENT
    EXPECT_FALSE(workspace::test::Exists(dir / "r.sql"));
    EXPECT_FALSE(workspace::test::Exists(dir / "o.bak"));

    // Definitions file cannot be created: the row file was created first and stays empty.
    WriteFile(dir / "dump.sql", "INSERT INTO t VALUES (1);\n");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(SplitSqlDump(dir / "dump.sql", dir / "r.sql", dir / "no/such/d.sql"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), createFailed + "2\n");
    EXPECT_EQ(ReadFile(dir / "r.sql"), "");

    // An output naming the source is refused and the source keeps its content.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(StripEscapedQuotes(dir / "dump.sql", dir / "dump.sql"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), createFailed + "22\n");
    EXPECT_EQ(ReadFile(dir / "dump.sql"), "INSERT INTO t VALUES (1);\n");

    // A folder is not a source, and a symbolic link planted as the output is not followed.
    std::filesystem::create_directory(dir / "folder");
    if (!common::test::MakeSymlink(dir / "outside.txt", dir / "link.bak"))
        GTEST_SKIP() << common::test::kNoSymlinks;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(DoubleEscapedQuotes(dir / "folder", dir / "x.bak"));
    EXPECT_FALSE(DoubleEscapedQuotes(dir / "dump.sql", dir / "link.bak"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), readFailed + "21\n" + createFailed + "40\n");
    EXPECT_FALSE(workspace::test::Exists(dir / "outside.txt"));

    // A write that fails (a full disk) is reported, not passed off as a finished conversion.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(DoubleEscapedQuotes(dir / "dump.sql", "/dev/full"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\xD0\xB4\xC8\xEBsql\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC"
              "28\n");  // 写入sql文件失败
}

}  // namespace

namespace {

TEST(ConversionProgress, ReportsTheBytesReadAndStopsWhenAsked) {
    CTempFolder tmp;
    // More than two reads of the converter, so that progress is told more than once.
    std::string dump;
    while (dump.size() < (9u << 20)) dump += "INSERT INTO t VALUES ('a\\'b', 1);\n";
    const std::string source = tmp / "dump.sql";
    WriteFile(source, dump);

    std::vector<std::uint64_t> seen;
    EXPECT_TRUE(SplitSqlDump(source, tmp / "rows.sql", tmp / "defs.sql", [&](std::uint64_t n) {
        seen.push_back(n);
        return true;
    }));
    ASSERT_GE(seen.size(), 3u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), dump.size());

    // Stopped after the first read: false, no message, and less than the whole written.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(
        DoubleEscapedQuotes(source, tmp / "double.bak", [](std::uint64_t) { return false; }));
    EXPECT_FALSE(
        StripEscapedQuotes(source, tmp / "strip.bak", [](std::uint64_t) { return false; }));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_LT(std::filesystem::file_size(tmp / "double.bak"), dump.size());
}

}  // namespace

}  // namespace workspace
