#include "tavrin/workspace/insert_fast_path.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <string>
#include <vector>

#include "common/db_handle.h"
#include "tavrin/testing/workspace_test_support.h"
#include "tavrin/workspace/insert_fast_path_check.h"
#include "tavrin/workspace/sql_loader.h"

namespace workspace {

namespace {

using TempFolder = common::test::CTempFolder;
using workspace::test::WriteFile;
using EOutcome = CInsertFastPath::EOutcome;

// One column of each affinity, and a table whose constraints make rows fail.
const std::string kTables =
    "CREATE TABLE `a` (`i` int(11), `t` varchar(64), `r` double, `n` decimal(10,2), `b` blob, "
    "`x`);\n"
    "CREATE TABLE `k` (`id` int(11) NOT NULL, `v` text NOT NULL, PRIMARY KEY (`id`));\n"
    "CREATE TABLE `f` (`id` int UNIQUE ON CONFLICT FAIL, `v` text);\n"
    "CREATE TABLE `g` (`id` int UNIQUE ON CONFLICT IGNORE, `v` text);\n"
    "CREATE TABLE `p` (`id` int UNIQUE ON CONFLICT REPLACE, `v` text);\n"
    "CREATE TABLE `q` (`id` int UNIQUE ON CONFLICT ROLLBACK, `v` text);\n"
    "CREATE TABLE `c` (`id` int CHECK (`id` > 0), `v` text);\n"
    "CREATE TABLE `s` (`id` INTEGER, `v` TEXT) STRICT;\n"
    "CREATE TABLE `ip` (`id` INTEGER PRIMARY KEY, `v` text);\n"
    "CREATE TABLE `w` (`id` int PRIMARY KEY, `v` text) WITHOUT ROWID;\n";

struct SLoad {
    std::string out;
    SLoadReport report;
    std::string content;
};

class InsertFastPath : public testing::Test {
  protected:
    SLoad Load(const std::string& rows, ERowStatements mode, const std::string& tables = kTables) {
        const std::string name = mode == ERowStatements::kBound ? "bound" : "parsed";
        std::filesystem::remove(m_dir / (name + ".db"));
        DbHandle db;
        EXPECT_EQ(OpenDbHandle(db, m_dir / (name + ".db")), SQLITE_OK);
        WriteFile(m_dir / "tables.sql", tables);
        WriteFile(m_dir / "rows.sql", rows);
        SLoad load;
        testing::internal::CaptureStdout();
        RunSqlFile(db, m_dir / "tables.sql");
        EXPECT_EQ(InsertRowStatements(db, m_dir / "rows.sql", nullptr, &load.report, mode), 1);
        load.out = testing::internal::GetCapturedStdout();
        load.content = workspace::test::DatabaseContent(db.db);
        db.Close();
        return load;
    }

    // Loads rows both ways and expects the same databases, console text and report.
    SLoad ExpectSame(const std::string& rows, const std::string& tables = kTables) {
        SLoad bound = Load(rows, ERowStatements::kBound, tables);
        SLoad parsed = Load(rows, ERowStatements::kParsed, tables);
        EXPECT_EQ(bound.content, parsed.content) << rows;
        EXPECT_EQ(bound.out, parsed.out);
        EXPECT_EQ(bound.report.nFailed, parsed.report.nFailed);
        EXPECT_EQ(bound.report.tables, parsed.report.tables);
        EXPECT_EQ(bound.report.bFull, parsed.report.bFull);
        EXPECT_EQ(bound.report.bCommitFailed, parsed.report.bCommitFailed);
        return bound;
    }

    TempFolder m_dir;
};

// Every value literal the dump may hold, into every affinity: integers at and past 64 bits,
// reals whose conversion rounds, signs, strings with doubled and escaped quotes, GBK and
// invalid bytes, blobs and NULL.
TEST_F(InsertFastPath, ValuesAreStoredAsSqliteStoresTheirLiterals) {
    const std::vector<std::string> values = {"0",
                                             "-0",
                                             "+7",
                                             "007",
                                             "-12",
                                             "9223372036854775807",
                                             "-9223372036854775807",
                                             "9223372036854775808",
                                             "-9223372036854775808",
                                             "-9223372036854775809",
                                             "18446744073709551616",
                                             "99999999999999999999999999",
                                             "000000000000000000000000001",
                                             "1.5",
                                             "-1.5",
                                             "0.0",
                                             "-0.0",
                                             "1.",
                                             ".5",
                                             "-.5",
                                             "1e3",
                                             "1E+3",
                                             "2.5e-3",
                                             "1e308",
                                             "1e309",
                                             "-1e999",
                                             "4.9e-324",
                                             "1e-400",
                                             "0.1",
                                             "0.30000000000000004",
                                             "123456789.123456789",
                                             "3.141592653589793238462643",
                                             "2.2250738585072011e-308",
                                             "9007199254740993",
                                             "9007199254740993.0",
                                             "1234567890123456789012.5",
                                             "''",
                                             "'a'",
                                             "'it''s'",
                                             "'\\''  '",
                                             "'x\\\\'",
                                             "'\xC9\xF3\xBC\xC6'",
                                             "'\xFF\x80'",
                                             "'12'",
                                             "' 12 '",
                                             "'1.0'",
                                             "'1e2'",
                                             "'-0'",
                                             "'abc'",
                                             "X''",
                                             "x'00ff'",
                                             "X'AbCd'",
                                             "NULL",
                                             "null",
                                             "NuLl"};
    std::string rows;
    for (const std::string& v : values) {
        rows += "INSERT INTO `a` VALUES (" + v + "," + v + "," + v + "," + v + "," + v + "," + v +
                ");\n";
    }
    // The same values in one multi-row statement, and cut into several prepared statements.
    std::string multi = "INSERT INTO `a` VALUES ";
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string& v = values[i];
        multi += (i ? "," : "") + ("(" + v + "," + v + "," + v + "," + v + "," + v + "," + v + ")");
    }
    rows += multi + ";\n";
    rows += multi + "," + multi.substr(std::string("INSERT INTO `a` VALUES ").size()) + ";\n";
    SLoad load = ExpectSame(rows);
    EXPECT_EQ(load.report.nFailed, 0) << load.out;
}

// Every failure the plain statement has, with its message and line number, and what it
// leaves: a multi-row statement is undone as a whole by an ABORT conflict, keeps its earlier
// rows on FAIL, skips or replaces rows on IGNORE and REPLACE, and takes the transaction with
// it on ROLLBACK (the load ends there).
TEST_F(InsertFastPath, FailuresLeaveWhatThePlainStatementLeaves) {
    std::string big;  // more rows than one prepared statement takes
    for (int i = 1; i <= 150; ++i) big += (i > 1 ? "," : "") + ("(" + std::to_string(i) + ",'v')");
    std::string late;  // fails only in a later part
    for (int i = 1; i <= 150; ++i) late += "(" + std::to_string(1000 + i) + ",'v'),";
    late += "(1001,'again')";
    ExpectSame(
        "INSERT INTO `k` VALUES (1,'a'),(2,NULL),(3,'c');\n"  // NOT NULL: nothing stays
        "INSERT INTO `k` VALUES (1,'a'),(1,'b');\n"           // UNIQUE: nothing stays
        "INSERT INTO `k` VALUES (4,'d'),(5,'e');\n"
        "INSERT INTO `f` VALUES (1,'a'),(2,'b'),(1,'c'),(3,'d');\n"  // FAIL keeps 1 and 2
        "INSERT INTO `g` VALUES (1,'a'),(1,'b'),(2,'c');\n"
        "INSERT INTO `p` VALUES (1,'a'),(1,'b'),(2,'c');\n"
        "INSERT INTO `c` VALUES (1,'a'),(0,'b');\n"
        "INSERT INTO `s` VALUES (1,'a'),('x','b');\n"    // STRICT type
        "INSERT INTO `s` VALUES ('2','a'),(2.0,'b');\n"  // converted losslessly
        "INSERT INTO `ip` VALUES (1.0,'a'),('2','b'),(2.5,'c');\n"
        "INSERT INTO `ip` VALUES (NULL,'auto'),(9223372036854775807,'max'),(NULL,'full');\n"
        "INSERT INTO `w` VALUES (1,'a'),(1,'b');\n"
        "INSERT INTO `k` VALUES " +
        big +
        ";\n"
        "INSERT INTO `k` VALUES " +
        big +
        ";\n"  // every row a duplicate, in each part
        "INSERT INTO `f` VALUES " +
        big +
        ";\n"  // 1 and 2 exist: fails at once, keeps none
        "INSERT INTO `g` VALUES " +
        big +
        ";\n"
        "INSERT INTO `k` VALUES " +
        late +
        ";\n"
        "INSERT INTO `f` VALUES " +
        late +
        ";\n"
        "INSERT INTO `k` VALUES " +
        late.substr(0, late.size() - 15) +
        ",(2000,NULL);\n"
        "INSERT INTO `a` VALUES (1,2,3);\n"              // too few values
        "INSERT INTO `a` VALUES (1,2,3,4,5,6),(1,2);\n"  // rows of unequal length
        "INSERT INTO `missing` VALUES (1);\n"
        "INSERT INTO `a` VALUES (X'abc',1,1,1,1,1);\n"  // odd hex digits
        "INSERT INTO `a` VALUES (0x10,0xffffffffffffffff,1,1,1,-0x1);\n"
        "INSERT INTO `a` VALUES (0x1ffffffffffffffff,1,1,1,1,1);\n"  // hex too big
        "INSERT INTO `a` VALUES (TRUE,FALSE,1,1,1,1);\n"
        "INSERT INTO `a` VALUES (12abc,1,1,1,1,1);\n"
        "INSERT INTO `a` VALUES (1e,1,1,1,1,1);\n"
        "INSERT INTO `a` VALUES ('a' 'b',1,1,1,1,1);\n"
        "INSERT INTO `a` VALUES (\"dq\",1,1,1,1,1);\n"
        "INSERT INTO `a` VALUES (- 5,--comment\n"
        "1,1,1,1,1);\n"
        "INSERT INTO `a` VALUES (/* c */ 1,1,1,1,1,1);\n"
        "INSERT INTO `a` VALUES (1+1,1,1,1,1,1);\n"
        "INSERT INTO `a` (`i`) VALUES (1);\n"
        "INSERT INTO main.`a` VALUES (1,1,1,1,1,1);\n"
        "INSERT INTO `a` VALUES (1,1,1,1,1,1);INSERT INTO `k` VALUES (77,'x');\n"
        "INSERT INTO `a` VALUES (1,1,1,1,1,1) ;  \n"
        "insert into a values(2,2,2,2,2,2);\n"
        "INSERT\tINTO \"a\"VALUES\t( 3 , '3' ,3,3,3,3 ) ;\n"
        "INSERT INTO [a] VALUES (4,4,4,4,4,4);\n"
        "INSERT INTO `` VALUES (1);\n"
        "INSERT INTO `q` VALUES (1,'a'),(2,'b');\n"
        "INSERT INTO `q` VALUES (3,'c'),(1,'d');\n"  // ROLLBACK: the load ends here
        "INSERT INTO `a` VALUES (5,5,5,5,5,5);\n");
    // A ROLLBACK conflict in a statement cut into several parts ends the load the same way.
    ExpectSame("INSERT INTO `q` VALUES (1,'x');\nINSERT INTO `q` VALUES " + big + ";\n");
}

// The table a statement names may change under the loader's prepared statements.
TEST_F(InsertFastPath, TablesRedefinedDuringTheLoadAreSeenByLaterLines) {
    ExpectSame(
        "INSERT INTO `a` VALUES (1,1,1,1,1,1),(2,2,2,2,2,2);\n"
        "INSERT INTO t2 VALUES (1);DROP TABLE `a`;CREATE TABLE `a` (`i` text, `j` int);\n"
        "INSERT INTO `a` VALUES (1,1,1,1,1,1),(2,2,2,2,2,2);\n"
        "INSERT INTO `a` VALUES ('1','1'),('2','2');\n"
        "DROP TABLE `a`;CREATE TABLE `a` (`i` int, `t` text, `r` real, `n` numeric, `b` blob, "
        "`x` int);\n"
        "INSERT INTO `a` VALUES ('1','1','1','1','1','1'),(2,2,2,2,2,2);\n");
}

// Which lines the bound path takes itself: the dump's own form in its usual variations. Seen
// through the fast path alone, so the differential tests above are known to exercise it.
TEST_F(InsertFastPath, TheDumpsInsertLinesAreBoundAndTheRestIsLeftToSqlite) {
    DbHandle db;
    ASSERT_EQ(OpenDbHandle(db, m_dir / "direct.db"), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db.db, kTables.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    CInsertFastPath fast(db.db);
    auto run = [&](const std::string& sql) {
        int rc = SQLITE_OK;
        std::string error;
        return fast.Run(sql.c_str(), sql.size(), rc, error);
    };
    for (const char* sql : {"INSERT INTO `a` VALUES (1,'a''b',-2.5,NULL,X'00',1e400);",
                            "insert into a values(1,2,3,4,5,6),(7,8,9,10,11,12) ;",
                            "INSERT INTO \"a\" VALUES ('',x'',.5,-0,+1,99999999999999999999);",
                            "INSERT INTO `ip` VALUES (1,'x');"}) {
        EXPECT_EQ(run(sql), EOutcome::kStored) << sql;
    }
    for (const char* sql :
         {"INSERT INTO `a` VALUES (0x1,1,1,1,1,1);", "INSERT INTO `a` VALUES (1,1,1,1,1,1)",
          "INSERT INTO `a` (`i`) VALUES (1);", "REPLACE INTO `a` VALUES (1,1,1,1,1,1);",
          "INSERT INTO `a` VALUES (1,1,1,1,1);", "INSERT INTO `nope` VALUES (1);",
          "INSERT INTO `a` VALUES (1,1,1,1,1,1);;", "INSERT INTO `a` VALUES ('a\0b',1,1,1,1,1);"}) {
        EXPECT_EQ(run(sql), EOutcome::kNotHandled) << sql;
    }
    int rc = SQLITE_OK;
    std::string error;
    const std::string dup = "INSERT INTO `ip` VALUES (1,'y');";
    EXPECT_EQ(fast.Run(dup.c_str(), dup.size(), rc, error), EOutcome::kFailed);
    EXPECT_EQ(rc, SQLITE_CONSTRAINT);
    EXPECT_EQ(error, "UNIQUE constraint failed: ip.id");
}

// Random statements from a palette of good and bad pieces: the two loads must agree on all
// of them, whatever the mix.
TEST_F(InsertFastPath, RandomStatementsLoadAlikeBothWays) {
    std::mt19937 rng(20161010);
    const std::vector<std::string> pieces = {"0",
                                             "1",
                                             "-1",
                                             "42",
                                             "-9223372036854775808",
                                             "9223372036854775808",
                                             "1e5",
                                             "-2.75",
                                             "0.1",
                                             ".5e-2",
                                             "123456.789012345678",
                                             "'a'",
                                             "''",
                                             "'it''s'",
                                             "'\\''x'",
                                             "'\xB0\xA1'",
                                             "X'0aFF'",
                                             "x''",
                                             "NULL",
                                             "null",
                                             "'1'",
                                             "'2.50'",
                                             "0x7",
                                             "X'a'",
                                             "TRUE",
                                             "1e",
                                             "'",
                                             "-",
                                             "12a",
                                             "(1)",
                                             "'x'||'y'"};
    const std::vector<std::string> tables = {"`a`", "a",   "`k`",  "`f`", "`g`",   "`p`",
                                             "`c`", "`s`", "`ip`", "`w`", "`none`"};
    auto pick = [&](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
    };
    auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    std::string rows;
    for (int line = 0; line < 3000; ++line) {
        const std::string table = pick(tables);
        const int columns = table.find('a') != std::string::npos && below(8) ? 6 : 1 + below(3);
        const int count = below(10) == 0 ? 60 + below(80) : 1 + below(6);
        std::string sql = std::string(below(6) ? "INSERT INTO " : "insert  into ") + table +
                          (below(5) ? " VALUES " : "values");
        for (int r = 0; r < count; ++r) {
            sql += r ? "," : "";
            sql += "(";
            const int n = below(40) ? columns : columns + 1;
            for (int c = 0; c < n; ++c) {
                if (c) sql += below(8) ? "," : " , ";
                // Mostly well-formed integers and strings, as the dump has them.
                sql += below(3) ? std::to_string(below(50) - 5) : pick(pieces);
            }
            sql += ")";
        }
        rows += sql + ";\n";
    }
    ExpectSame(rows);
}

}  // namespace

}  // namespace workspace
