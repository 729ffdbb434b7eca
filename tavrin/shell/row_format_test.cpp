// The output modes' exact layouts, through statements run by a script.
#include <gtest/gtest.h>

#include "tavrin/shell/shell_test_support.h"

namespace shell {

namespace {

using test::captureStderr;
using test::COutputFile;
using test::CTempFolder;
using test::writeFile;

class FormatTest : public ::testing::Test {
  protected:
    void SetUp() override {
        openShell(m_state, (m_folder / "f.db").c_str());
        ASSERT_NE(m_state.m_pDb, nullptr);
        ASSERT_EQ(sqlite3_exec(m_state.m_pDb,
                               "CREATE TABLE t(id INTEGER, name TEXT, v);"
                               "INSERT INTO t VALUES(1, 'a<b>&\"''c', 2.5);"
                               "INSERT INTO t VALUES(22, NULL, x'00ff10');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        m_output.attach();
    }
    std::string run(const std::string& script) {
        std::string path = (m_folder / "script.sql");
        writeFile(path, script);
        std::FILE* in = std::fopen(path.c_str(), "rb");
        m_output.clear();
        m_strErr = captureStderr([&] { runScript(m_state, in); });
        std::fclose(in);
        return m_output.text();
    }

    CTempFolder m_folder;
    ShellState m_state;
    COutputFile m_output{m_folder, m_state};
    std::string m_strErr;
};

TEST_F(FormatTest, LineMode) {
    EXPECT_EQ(run(".mode line\n.nullvalue NIL\nSELECT id, name AS longer_name FROM t;\n"),
              "         id = 1\n"
              "longer_name = a<b>&\"'c\n"
              "\n"
              "         id = 22\n"
              "longer_name = NIL\n");
    EXPECT_EQ(run(".mode lines\nSELECT 1 AS x;\n"), "    x = 1\n");
}

TEST_F(FormatTest, ColumnModeWidthsHeadersAndCutting) {
    EXPECT_EQ(run(".mode column\n.headers on\nSELECT id, name FROM t;\n"),
              "id          name      \n"
              "----------  ----------\n"
              "1           a<b>&\"'c  \n"
              "22                    \n");
    // Given widths cut cells; a negative one aligns right; 0 keeps the automatic width.
    EXPECT_EQ(run(".width 3 -5 0\nSELECT 'abcdef' AS a, 'xy' AS b, 'this is long text' AS c;\n"),
              "a        b  c                \n"
              "---  -----  -----------------\n"
              "abc     xy  this is long text\n");
    EXPECT_EQ(run(".headers off\n.width 0 0\nSELECT 'a', 'b';\n"), "a           b         \n");
}

TEST_F(FormatTest, ExplainModeNeverCutsValues) {
    EXPECT_EQ(run(".explain\nSELECT 'longer than four' AS addr, 'x' AS opcode;\n"),
              "addr  opcode       \n"
              "----  -------------\n"
              "longer than four  x            \n");
    EXPECT_EQ(run(".explain off\nSELECT 1;\n"), "1\n");
    EXPECT_EQ(m_state.m_nMode, kModeList);
    EXPECT_FALSE(m_state.m_bHeaders);
}

TEST_F(FormatTest, ListAndTabs) {
    EXPECT_EQ(run(".headers on\n.separator ::\nSELECT id, name FROM t;\n"),
              "id::name\n1::a<b>&\"'c\n22::\n");
    EXPECT_EQ(run(".mode tabs\n.headers off\nSELECT id, name FROM t;\n"), "1\ta<b>&\"'c\n22\t\n");
    EXPECT_EQ(m_state.m_nMode, kModeList);
    EXPECT_EQ(m_state.m_strSeparator, "\t");
}

TEST_F(FormatTest, SemiModeEndsRowsWithASemicolon) {
    m_state.m_nMode = kModeSemi;
    EXPECT_EQ(run("SELECT 'CREATE TABLE x(a)', 2;\n"), "CREATE TABLE x(a)|2;\n");
}

TEST_F(FormatTest, HtmlEscapesNamesAndValues) {
    EXPECT_EQ(run(".mode html\n.headers on\nSELECT name AS \"<n>\" FROM t WHERE id = 1;\n"),
              "<TR><TH>&lt;n&gt;</TH>\n</TR>\n"
              "<TR><TD>a&lt;b&gt;&amp;&quot;&#39;c</TD>\n</TR>\n");
}

TEST_F(FormatTest, InsertModeQuotesTextAndWritesNullBlobsAndNumbers) {
    EXPECT_EQ(run(".mode insert\nSELECT id, name, v FROM t;\n"),
              "INSERT INTO table VALUES(1,'a<b>&\"''c',2.5);\n"
              "INSERT INTO table VALUES(22,NULL,X'00ff10');\n");
    EXPECT_EQ(run(".mode insert new_t\nSELECT '12', '1e5x';\n"),
              "INSERT INTO new_t VALUES('12','1e5x');\n");
    EXPECT_EQ(run(".mode insert \"my table\"\nSELECT 1;\n"), "INSERT INTO 'my table' VALUES(1);\n");
    EXPECT_EQ(run(".mode list\n.mode line x\n"), "");
    EXPECT_EQ(m_strErr, "Error: invalid arguments:  \"x\". Enter \".help\" for help\n");
}

TEST_F(FormatTest, TclEscapesSpecialBytes) {
    EXPECT_EQ(run(".mode tcl\n.headers on\nSELECT 'a\"b\\c' || char(9) || char(10) || char(13) "
                  "|| char(1) AS \"h d\", 'é' AS e;\n"),
              "\"h d\" \"e\"\n\"a\\\"b\\\\c\\t\\n\\r\\001\" \"\\303\\251\"\n");
}

TEST_F(FormatTest, CsvQuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(run(".mode csv\n.nullvalue N\n.headers on\n"
                  "SELECT 'plain' AS a, 'with space' AS b, 'q\"x' AS c, 'a,b' AS d, NULL AS e, "
                  "'it''s' AS f;\n"),
              "a,b,c,d,e,f\nplain,\"with space\",\"q\"\"x\",\"a,b\",N,\"it's\"\n");
    // A longer separator makes a value quoted only when the value begins with it.
    EXPECT_EQ(run(".headers off\n.separator ;;\nSELECT 'x;;y', ';;z';\n"), "x;;y;;\";;z\"\n");
}

TEST_F(FormatTest, ModeErrors) {
    EXPECT_EQ(run(".mode bogus\n.mode lin\n"), "");
    std::string one = "Error: mode should be one of: column csv html insert line list tabs tcl\n";
    EXPECT_EQ(m_strErr, one + one);
    EXPECT_EQ(m_state.m_nMode, kModeList);
}

}  // namespace

}  // namespace shell
