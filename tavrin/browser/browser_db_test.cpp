#include "tavrin/browser/browser_db.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/codepage.h"
#include "tavrin/browser/query_builder.h"
#include "tavrin/testing/browser_test_support.h"

namespace {

using namespace browser;
using browser::test::Exec;

// A real Parent.db from the table script, opened through a DbHandle as the dialog does.
class ParentDb : public ::testing::Test {
  protected:
    void SetUp() override { Open(true); }

    void Open(bool withTabTable) {
        m_handle.Close();
        std::string path = m_folder.Str() + (withTabTable ? "/Parent.db" : "/NoTab.db");
        sqlite3* db = browser::test::CreateParentDb(path, withTabTable);
        ASSERT_NE(nullptr, db) << "table.sql not found or invalid";
        sqlite3_close(db);
        ASSERT_EQ(0, OpenDbHandle(m_handle, path));
    }

    void Session(const char* table, int id, const char* login, const char* end, const char* addr,
                 const char* name, const char* session) {
        std::string sql = std::string("insert into ") + table + " values(" + std::to_string(id) +
                          ", 7, 'd', '" + login + "', '" + addr + "', '" + name +
                          "', '10.9.9.9', 'rn', '" + session + "', 1024, 768, 'rdp', 'ok', '" +
                          end + "')";
        ASSERT_TRUE(Exec(m_handle.db, sql)) << sqlite3_errmsg(m_handle.db);
    }
    void App(int id, const char* session, const char* remoteAddr, const char* remoteName) {
        std::string sql = "insert into vsms_xapp_tab values(" + std::to_string(id) +
                          ", 3, '2013-05-07', '08:00:00', '" + remoteAddr + "', '" + remoteName +
                          "', '" + session + "', 'app', 'path', 'ok')";
        ASSERT_TRUE(Exec(m_handle.db, sql)) << sqlite3_errmsg(m_handle.db);
    }
    void Char(int id, const char* login, const char* name, const char* remoteName) {
        std::string sql = "insert into unix_sms_log values(" + std::to_string(id) +
                          ", 'd', '10.1.1.1', 'ssh', '" + login + "', '10.0.0.1', '" + name +
                          "', '" + remoteName + "', 'k_" + std::to_string(id) +
                          "', '/r.txt', '/s.dat', 'ok', '2013-05-07 09:00:00')";
        ASSERT_TRUE(Exec(m_handle.db, sql)) << sqlite3_errmsg(m_handle.db);
    }

    static std::string Filter(const FilterValues& v, bool joined) {
        FilterClause f = BuildFilterClause(v, joined);
        EXPECT_EQ(FilterFailure::None, f.failure);
        return platform::Utf16ToAnsi(f.strClause);
    }
    static FilterValues Range(const char16_t* start, const char16_t* end) {
        FilterValues v;
        v.strStart = start;
        v.strEnd = end;
        return v;
    }

    std::vector<std::string> PageIds(const std::string& sql) {
        std::vector<std::string> ids;
        RowCallback cb = [](void* p, int, char** argv, char**) -> int {
            static_cast<std::vector<std::string>*>(p)->push_back(argv[0] ? argv[0] : "");
            return 0;
        };
        EXPECT_EQ(SQLITE_OK, RunPageQuery(m_handle, sql, cb, &ids))
            << (m_handle.errmsg ? m_handle.errmsg : "");
        return ids;
    }

    browser::test::TempFolder m_folder;
    DbHandle m_handle;
};

TEST_F(ParentDb, TableScriptFixesColumnCounts) {
    EXPECT_EQ(13u, browser::test::Rows(m_handle.db, "pragma table_info(unix_sms_log)").size());
    EXPECT_EQ(13u, browser::test::Rows(m_handle.db, "pragma table_info(unix_xfer_log)").size());
    EXPECT_EQ(14u, browser::test::Rows(m_handle.db, "pragma table_info(unix_vsms_log)").size());
    EXPECT_EQ(14u, browser::test::Rows(m_handle.db, "pragma table_info(unix_xapp_log)").size());
    EXPECT_EQ(10u, browser::test::Rows(m_handle.db, "pragma table_info(vsms_xapp_tab)").size());
    for (const char* t : {"utm2dba", "utm_xapp_scan", "utm_dba_scan", "w_text_matrix"}) {
        EXPECT_FALSE(
            browser::test::Rows(m_handle.db, std::string("pragma table_info(") + t + ")").empty())
            << t;
    }
    // The columns the filters and the fillers name sit at the positions they read.
    EXPECT_EQ(
        std::vector<std::string>{"2|uhost_addr"},
        browser::test::Rows(
            m_handle.db, "select cid, name from pragma_table_info('unix_sms_log') where cid = 2"));
    EXPECT_EQ(std::vector<std::string>{"12|end_time"},
              browser::test::Rows(
                  m_handle.db,
                  "select cid, name from pragma_table_info('unix_xfer_log') where cid = 12"));
    EXPECT_EQ(std::vector<std::string>{"13|end_time"},
              browser::test::Rows(
                  m_handle.db,
                  "select cid, name from pragma_table_info('unix_xapp_log') where cid = 13"));
    EXPECT_EQ(std::vector<std::string>{"1|utm"},
              browser::test::Rows(
                  m_handle.db, "select cid, name from pragma_table_info('utm2dba') where cid = 1"));
}

TEST_F(ParentDb, CountMatchesRowsAndFailsToZero) {
    for (int i = 0; i < 31; ++i) Char(i, "2013-05-07 08:00:00", "u", "r");
    EXPECT_EQ(31, CountQueryRows(m_handle, TableCountQuery("unix_sms_log", "")));
    EXPECT_EQ(nullptr, m_handle.errmsg);
    EXPECT_EQ(0, CountQueryRows(m_handle, TableCountQuery("no_such_table", "")));
    EXPECT_NE(nullptr, m_handle.errmsg);
    // The last page of 31 rows holds one row; a page past the end holds none.
    EXPECT_EQ(std::vector<std::string>{"30"}, PageIds(TablePageQuery("unix_sms_log", "", 30)));
    EXPECT_TRUE(PageIds(TablePageQuery("unix_sms_log", "", 45)).empty());
    EXPECT_EQ(15u, PageIds(TableFirstPageQuery("unix_sms_log", "")).size());
}

TEST_F(ParentDb, JoinedViewFilterRestrictsBothHalves) {
    Session("unix_vsms_log", 1, "2013-05-07 09:00:00", "2013-05-07 10:00:00", "10.0.0.1", "alice",
            "v1");
    Session("unix_vsms_log", 2, "2013-06-01 09:00:00", "2013-06-01 10:00:00", "10.0.0.1", "alice",
            "v2");
    Session("unix_xapp_log", 3, "2013-05-07 09:00:00", "2013-05-07 10:00:00", "10.0.0.2", "bob",
            "x1");
    Session("unix_xapp_log", 4, "2013-06-01 09:00:00", "2013-06-01 10:00:00", "10.0.0.2", "bob",
            "x2");
    App(11, "v1", "10.5.5.5", "adm");
    App(12, "v2", "10.5.5.5", "adm");
    App(13, "x1", "10.6.6.6", "guest");
    App(14, "x2", "10.6.6.6", "guest");

    EXPECT_EQ(4, CountQueryRows(m_handle, JoinedCountQuery("")));
    std::string may = Filter(Range(u"2013-05-01 00:00:00", u"2013-05-31 23:59:59"), true);
    EXPECT_EQ(2, CountQueryRows(m_handle, JoinedCountQuery(may)));
    EXPECT_EQ((std::vector<std::string>{"11", "13"}), PageIds(JoinedFirstPageQuery(may)));
    EXPECT_EQ((std::vector<std::string>{"11", "13"}), PageIds(JoinedSearchPageQuery(may)));
    EXPECT_TRUE(PageIds(JoinedPageQuery(may, 15)).empty());

    FilterValues v = Range(u"2013-01-01 00:00:00", u"2013-12-31 23:59:59");
    v.strRemoteAddr = u"10.6.6.6";
    EXPECT_EQ(2, CountQueryRows(m_handle, JoinedCountQuery(Filter(v, true))));
    v.strRemoteAddr.clear();
    v.strLoginName = u"ALI";  // LIKE ignores the case of ASCII letters
    EXPECT_EQ((std::vector<std::string>{"11", "12"}),
              PageIds(JoinedFirstPageQuery(Filter(v, true))));
}

TEST_F(ParentDb, JoinedRowsHaveSessionColumnsBehindTheAppRecord) {
    Session("unix_vsms_log", 1, "2013-05-07 09:00:00", "2013-05-07 10:00:00", "10.0.0.1", "alice",
            "v1");
    App(11, "v1", "10.5.5.5", "adm");
    std::vector<std::string> rows = browser::test::Rows(m_handle.db, JoinedFirstPageQuery(""));
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(
        "11|3|2013-05-07|08:00:00|10.5.5.5|adm|v1|app|path|ok|2013-05-07 "
        "10:00:00|1024|768|10.0.0.1|alice",
        rows[0]);
}

TEST_F(ParentDb, RemoteNameMatchesContainingValue) {
    Char(1, "2013-05-07 08:00:00", "u", "xaby");
    Char(2, "2013-05-07 08:00:00", "u", "AB");
    Char(3, "2013-05-07 08:00:00", "u", "zz");
    FilterValues v = Range(u"2013-05-07 00:00:00", u"2013-05-07 23:59:59");
    v.strRemoteName = u"ab";
    EXPECT_EQ((std::vector<std::string>{"1", "2"}),
              PageIds(TableFirstPageQuery("unix_sms_log", Filter(v, false))));
}

TEST_F(ParentDb, QuoteInNameStaysALiteral) {
    Char(1, "2013-05-07 08:00:00", "a\"b", "r");
    Char(2, "2013-05-07 08:00:00", "plain", "r");
    FilterValues v = Range(u"2013-05-07 00:00:00", u"2013-05-07 23:59:59");
    v.strLoginName = u"a\"b";
    EXPECT_EQ(1, CountQueryRows(m_handle, TableCountQuery("unix_sms_log", Filter(v, false))));
    EXPECT_EQ(nullptr, m_handle.errmsg);
    // An attempt to widen the condition matches nothing instead of every row.
    v.strLoginName = u"\" or \"\"=\"";
    EXPECT_EQ(0, CountQueryRows(m_handle, TableCountQuery("unix_sms_log", Filter(v, false))));
    EXPECT_EQ(nullptr, m_handle.errmsg);
}

TEST_F(ParentDb, JoinedViewWithoutTabTableIsEmpty) {
    Open(false);
    Session("unix_vsms_log", 1, "2013-05-07 09:00:00", "2013-05-07 10:00:00", "10.0.0.1", "alice",
            "v1");
    EXPECT_EQ(0, CountQueryRows(m_handle, JoinedCountQuery("")));
    EXPECT_NE(nullptr, m_handle.errmsg);
    std::vector<std::string> ids;
    RowCallback cb = [](void* p, int, char**, char**) -> int {
        static_cast<std::vector<std::string>*>(p)->push_back("row");
        return 0;
    };
    EXPECT_NE(SQLITE_OK, RunPageQuery(m_handle, JoinedFirstPageQuery(""), cb, &ids));
    EXPECT_TRUE(ids.empty());
    EXPECT_NE(nullptr, m_handle.errmsg);
}

}  // namespace
