// The browser model on real Parent.db files made with the table script.
#include "tavrin/browser/browser_model.h"

#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "tavrin/testing/browser_test_support.h"

namespace {

using browser::AuditView;
using browser::BrowserUpdate;
using browser::CBrowserModel;
using browser::FilterValues;
using browser::ListLayout;

std::string Gbk(std::u16string_view text) {
    return platform::Utf16ToAnsi(text);
}

// A character or transfer row: time, names and addresses as the filters see them.
std::string SmsRow(int id, const std::string& loginName, const std::string& remoteName,
                   const std::string& loginAddr = "10.0.0.1", const std::string& day = "05") {
    const std::string n = std::to_string(id);
    return "(" + n + ",'dev','10.9.9.9','ssh','2016-09-" + day + " 08:00:00','" + loginAddr +
           "','" + loginName + "','" + remoteName + "','sms_" + n + "','/var/utm/data/sessions/s" +
           n + ".txt','/var/utm/data/sessions/s" + n + "b.log','ok','2016-09-" + day +
           " 09:00:00')";
}

std::string GraphicRow(int id, const std::string& loginName) {
    const std::string n = std::to_string(id);
    return "(" + n + "," + std::to_string(1000 + id) + ",'dev','2016-09-05 08:00:00','10.0.0.1','" +
           loginName + "','10.2.0.1','acct','v" + n +
           "',1024,768,'rdp','ok','2016-09-05 09:00:00')";
}

FilterValues Range(const char16_t* from = u"2016-09-01 00:00:00",
                   const char16_t* to = u"2016-09-10 23:59:59") {
    FilterValues v;
    v.strStart = from;
    v.strEnd = to;
    return v;
}

class BrowserModel : public testing::Test {
  protected:
    void SetUp() override {
        m_db = browser::test::CreateParentDb(m_tmp.Str() + "/PParent.db", m_bTabTable);
        ASSERT_NE(nullptr, m_db);
        ASSERT_EQ(0, OpenDbHandle(m_handle, m_tmp.Str() + "/PParent.db"));
    }
    void TearDown() override { sqlite3_close(m_db); }

    void InsertSms(int count, const std::string& table = "unix_sms_log") {
        for (int i = 1; i <= count; ++i)
            ASSERT_TRUE(browser::test::Exec(
                m_db, "INSERT INTO " + table + " VALUES " + SmsRow(i, "root", "oracle")));
    }
    BrowserUpdate Open() {
        browser::BrowserPackage package;
        package.strName = "P";
        package.strPackageFolder = m_tmp.Str();
        package.pParentDb = &m_handle;
        package.bHasTabTable = m_bTabTable;
        return m_model.Open(package);
    }
    // The session key of each row shown.
    std::vector<std::string> Keys(const BrowserUpdate& u) {
        std::vector<std::string> keys;
        for (const auto& row : u.screen.rows) keys.push_back(row.charRecord.strKey.toStdString());
        return keys;
    }

    bool m_bTabTable = true;
    browser::test::TempFolder m_tmp;
    sqlite3* m_db = nullptr;
    DbHandle m_handle;
    CBrowserModel m_model;
};

TEST_F(BrowserModel, OpenShowsTheCharacterViewsFirstPageAndKeepsThePageField) {
    InsertSms(30);
    const BrowserUpdate u = Open();
    EXPECT_FALSE(u.bRefused);
    EXPECT_TRUE(u.screen.bOpen);
    EXPECT_EQ(AuditView::SmsLog, u.screen.eView);
    EXPECT_EQ(ListLayout::kChar, u.screen.eLayout);
    EXPECT_TRUE(u.screen.bCounted);
    EXPECT_EQ(30, u.screen.page.nTotalRows);
    EXPECT_EQ(3, u.screen.page.nPageCount);  // rows / 15 + 1: the third page is empty
    EXPECT_EQ(1, u.screen.page.nCurPage);
    EXPECT_FALSE(u.screen.buttons.bPrev);
    EXPECT_TRUE(u.screen.buttons.bNext);
    EXPECT_TRUE(u.screen.buttons.bGoto);
    ASSERT_EQ(15u, u.screen.rows.size());
    EXPECT_EQ("sms_1", Keys(u).front());
    EXPECT_EQ("2016-09-05 08:00:00", u.screen.rows[0].cells[1].toStdString());
    EXPECT_FALSE(u.nPageField);
    EXPECT_EQ("", m_model.FilterClause());
    EXPECT_EQ("unix_sms_log", m_model.Table());
}

TEST_F(BrowserModel, PagesMoveWriteTheFieldAndStopAtTheEnds) {
    InsertSms(30);
    Open();
    EXPECT_TRUE(m_model.PrevPage().bRefused);

    BrowserUpdate u = m_model.NextPage();
    EXPECT_EQ(2, u.screen.page.nCurPage);
    EXPECT_EQ(2, u.nPageField.value_or(0));
    EXPECT_EQ("sms_16", Keys(u).front());
    EXPECT_TRUE(u.screen.buttons.bPrev);
    EXPECT_TRUE(u.screen.buttons.bNext);

    u = m_model.NextPage();
    EXPECT_EQ(3, u.screen.page.nCurPage);
    EXPECT_TRUE(u.screen.rows.empty());
    EXPECT_FALSE(u.screen.buttons.bNext);
    EXPECT_TRUE(m_model.NextPage().bRefused);

    u = m_model.GotoPage(u"1x");  // leading number
    EXPECT_EQ(1, u.screen.page.nCurPage);
    EXPECT_FALSE(u.nPageField);  // the typed text stays
    EXPECT_FALSE(u.screen.buttons.bPrev);
    EXPECT_EQ(15u, u.screen.rows.size());

    for (const char16_t* bad : {u"4", u"99999999999"}) {
        u = m_model.GotoPage(bad);
        EXPECT_TRUE(u.bRefused);
        EXPECT_EQ(browser::kMsgPageBeyondLast, u.nMessage) << platform::Utf16ToUtf8(bad);
        EXPECT_EQ(1, u.screen.page.nCurPage);
        EXPECT_EQ(15u, u.screen.rows.size());  // the list keeps its rows
    }
    for (const char16_t* bad : {u"0", u"-1", u"", u"x"})
        EXPECT_EQ(browser::kMsgPageNotPositive, m_model.GotoPage(bad).nMessage);

    m_model.NextPage();
    u = m_model.FirstPage();
    EXPECT_EQ(1, u.nPageField.value_or(0));
    EXPECT_EQ(30, u.screen.page.nTotalRows);
}

// A search refused for a bad address leaves the list's filter in force: the next page, going
// to a page and the export are those of the rows shown, not of the fields as far as they were
// valid (here: every session of 10.0.0.1, which the list never showed).
TEST_F(BrowserModel, FailedAddressOnSearchKeepsTheScreenAndItsPages) {
    InsertSms(20);
    for (int i = 21; i <= 40; ++i)
        browser::test::Exec(m_db, "INSERT INTO unix_sms_log VALUES " +
                                      SmsRow(i, i % 2 ? "root" : "guest", "oracle", "10.0.0.1"));
    Open();
    FilterValues v = Range(u"2016-09-01 00:00:00", u"2016-09-10 23:59:59");
    v.strLoginName = u"guest";
    BrowserUpdate u = m_model.Search(v);
    EXPECT_EQ(10, u.screen.page.nTotalRows);
    const std::string clause = m_model.FilterClause();

    v.strLoginAddr = u"10.0.0.1";
    v.strRemoteAddr = u"10.0.0.0";  // last part 0: invalid
    u = m_model.Search(v);
    EXPECT_TRUE(u.bRefused);
    EXPECT_EQ(browser::kMsgBadAddress, u.nMessage);
    EXPECT_EQ(10, u.screen.page.nTotalRows);
    EXPECT_EQ(10u, u.screen.rows.size());
    EXPECT_EQ(clause, m_model.FilterClause());
    u = m_model.FirstPage();
    EXPECT_EQ(10, u.screen.page.nTotalRows);
    EXPECT_EQ("sms_22", Keys(u).front());
    long long n = 0;
    m_model.ForEachRow([&](long long, const browser::BrowserRow&) { return ++n, true; });
    EXPECT_EQ(10, n);
}

TEST_F(BrowserModel, ChangeOfViewSetsLayoutKindAndStillLoadsAfterABadAddress) {
    InsertSms(3, "unix_xfer_log");
    for (int i = 1; i <= 4; ++i) {
        browser::test::Exec(m_db, "INSERT INTO unix_xapp_log VALUES " + GraphicRow(i, "root"));
        browser::test::Exec(m_db, "INSERT INTO unix_vsms_log VALUES " + GraphicRow(i, "admin"));
    }
    browser::test::Exec(m_db,
                        "UPDATE unix_xapp_log SET end_time = '2017-01-01 00:00:00' "
                        "WHERE id = 4");
    Open();
    FilterValues v = Range();
    v.strLoginAddr = u"10.0.0.256";
    v.strLoginName = u"nobody";
    BrowserUpdate u = m_model.ChangeView(AuditView::XappLog, v);
    EXPECT_EQ(browser::kMsgBadAddress, u.nMessage);
    EXPECT_FALSE(u.bRefused);
    EXPECT_EQ(ListLayout::kGraphic, u.screen.eLayout);
    EXPECT_EQ(0, u.screen.nKind);
    EXPECT_EQ(3, u.screen.page.nTotalRows);  // time range only
    ASSERT_EQ(3u, u.screen.rows.size());
    EXPECT_EQ(1001, u.screen.rows[0].graphicRecord.nCode);
    EXPECT_EQ(1024, u.screen.rows[0].graphicRecord.nWidth);
    EXPECT_EQ("-", u.screen.rows[0].cells[7].toStdString());  // no recording file
    EXPECT_EQ("unix_xapp_log", m_model.Table());

    u = m_model.ChangeView(AuditView::VsmsLog, Range());
    EXPECT_EQ(0, u.nMessage);
    EXPECT_EQ(1, u.screen.nKind);
    EXPECT_EQ(4, u.screen.page.nTotalRows);
    u = m_model.ChangeView(AuditView::Joined, Range());
    EXPECT_EQ(1, u.screen.nKind);            // kept from the last graphical table
    EXPECT_EQ(0, u.screen.page.nTotalRows);  // no application records
    EXPECT_EQ("unix_vsms_log", m_model.Table());

    u = m_model.ChangeView(AuditView::XferLog, Range());
    EXPECT_EQ(ListLayout::kChar, u.screen.eLayout);
    EXPECT_EQ(3, u.screen.page.nTotalRows);
    EXPECT_EQ(1, u.screen.nKind);
    EXPECT_FALSE(u.screen.buttons.bNext);

    // A search keeps the view; SelectView drops the filter.
    v = Range(u"2016-09-06 00:00:00");
    EXPECT_EQ(0, m_model.Search(v).screen.page.nTotalRows);
    u = m_model.SelectView(AuditView::XappLog);
    EXPECT_EQ(4, u.screen.page.nTotalRows);
    EXPECT_EQ("", m_model.FilterClause());
}

// While the dumps after unix_sms_log load, a view whose table is not in yet shows no count
// (not "0 sessions"), pages and exports nothing, and shows its rows once the table is in.
TEST_F(BrowserModel, AViewWhoseTablesAreStillLoadingIsNeverShownAsEmpty) {
    InsertSms(20);
    for (int i = 1; i <= 17; ++i)
        browser::test::Exec(m_db, "INSERT INTO unix_xapp_log VALUES " + GraphicRow(i, "root"));
    auto loaded = std::make_shared<browser::CLoadedTables>(std::set<std::string>{"unix_sms_log"});
    browser::BrowserPackage package;
    package.strName = "P";
    package.strPackageFolder = m_tmp.Str();
    package.pParentDb = &m_handle;
    package.bHasTabTable = true;
    package.pLoaded = loaded;
    BrowserUpdate u = m_model.Open(package);
    EXPECT_FALSE(u.screen.bLoading);
    EXPECT_EQ(20, u.screen.page.nTotalRows);

    u = m_model.ChangeView(AuditView::XappLog, Range());
    EXPECT_TRUE(u.screen.bLoading);
    EXPECT_FALSE(u.screen.bCounted);
    EXPECT_TRUE(u.screen.rows.empty());
    EXPECT_FALSE(u.screen.buttons.bNext || u.screen.buttons.bPrev || u.screen.buttons.bGoto);
    EXPECT_EQ(ListLayout::kGraphic, u.screen.eLayout);  // the layout is the view's already
    EXPECT_TRUE(m_model.NextPage().bRefused);
    EXPECT_TRUE(m_model.GotoPage(u"2").bRefused);
    EXPECT_FALSE(m_model.ForEachRow([](long long, const browser::BrowserRow&) { return true; }));
    EXPECT_TRUE(m_model.Search(Range()).screen.bLoading);
    EXPECT_FALSE(m_model.ViewBecameLoaded());

    loaded->MarkLoaded("unix_vsms_log");
    loaded->MarkLoaded("unix_xapp_log");
    ASSERT_TRUE(m_model.ViewBecameLoaded());
    u = m_model.FirstPage();
    EXPECT_FALSE(u.screen.bLoading);
    EXPECT_EQ(17, u.screen.page.nTotalRows);
    EXPECT_EQ(15u, u.screen.rows.size());
    EXPECT_TRUE(u.screen.buttons.bNext);
    EXPECT_FALSE(m_model.ViewBecameLoaded());

    // The joined view needs its application records as well; the end of the load frees all.
    EXPECT_TRUE(m_model.ChangeView(AuditView::Joined, Range()).screen.bLoading);
    EXPECT_FALSE(m_model.ChangeView(AuditView::SmsLog, Range()).screen.bLoading);
    loaded->MarkAllLoaded();
    u = m_model.ChangeView(AuditView::Joined, Range());
    EXPECT_FALSE(u.screen.bLoading);
    EXPECT_TRUE(u.screen.bCounted);
}

TEST_F(BrowserModel, NameFiltersCompareByCodePageCharacter) {
    const std::u16string names[] = {u"王五", u"张三", u"管理员王", u"ROOT", u"运维?"};
    int id = 0;
    for (const std::u16string& name : names)
        browser::test::Exec(m_db, "INSERT INTO unix_sms_log VALUES " +
                                      SmsRow(++id, Gbk(name), Gbk(u"财务系统数据库管理员")));
    Open();
    FilterValues v = Range();
    v.strLoginName = u"王";
    EXPECT_EQ(2, m_model.Search(v).screen.page.nTotalRows);
    v.strLoginName = u"oo";
    EXPECT_EQ(1, m_model.Search(v).screen.page.nTotalRows);
    v.strLoginName = u"___";  // three characters, whatever their bytes
    EXPECT_EQ(3, m_model.Search(v).screen.page.nTotalRows);
    // A character GBK lacks is in no stored value (its converted text would be "?").
    v.strLoginName = u"\U0001F600";
    BrowserUpdate none = m_model.Search(v);
    EXPECT_EQ(0, none.screen.page.nTotalRows);
    EXPECT_TRUE(none.screen.rows.empty());
    EXPECT_EQ(0, m_model.FirstPage().screen.page.nTotalRows);
    v.strLoginName = u"?";
    EXPECT_EQ(1, m_model.Search(v).screen.page.nTotalRows);
    v.strLoginName.clear();
    v.strRemoteName = u"数据库";
    BrowserUpdate u = m_model.Search(v);
    EXPECT_EQ(5, u.screen.page.nTotalRows);
    EXPECT_EQ(u"财务系统数据库管理员", u.screen.rows[0].cells[6].toStdU16String());
    // The export's query of the same view and filter sees the same rows.
    long long n = 0;
    EXPECT_TRUE(m_model.ForEachRow([&](long long row, const browser::BrowserRow& r) {
        EXPECT_EQ(n, row);
        EXPECT_EQ("sms_" + std::to_string(n + 1), r.charRecord.strKey.toStdString());
        ++n;
        return true;
    }));
    EXPECT_EQ(5, n);
}

// The export writes what the list shows: the same view and filter, also when a name holds a
// character the code page lacks (whose converted text, "维?", would match "运维?").
TEST_F(BrowserModel, ExportOfViewFindsTheRowsTheListCounts) {
    browser::test::Exec(m_db, "INSERT INTO unix_sms_log VALUES " + SmsRow(1, Gbk(u"运维?"), "x"));
    browser::test::Exec(m_db, "INSERT INTO unix_sms_log VALUES " + SmsRow(2, "root", "x"));
    EXPECT_FALSE(m_model.ExportOfView().has_value());  // no package open
    Open();
    auto exported = [&](const std::string& file) {
        std::optional<browser::ExportRequest> request = m_model.ExportOfView();
        EXPECT_TRUE(request.has_value());
        if (!request) return -1LL;
        EXPECT_EQ(m_tmp.Str(), request->strPackageFolder);
        request->headers = {"#"};
        request->strOutPath = m_tmp.Str() + "/" + file;
        const browser::ExportResult result = browser::ExportView(*request);
        EXPECT_EQ(browser::ExportStatus::kDone, result.eStatus) << result.strError;
        return result.nRows;
    };
    FilterValues v = Range();
    v.strLoginName = u"?";
    EXPECT_EQ(1, m_model.Search(v).screen.page.nTotalRows);
    EXPECT_EQ(1, exported("question.csv"));
    for (AuditView view : {AuditView::SmsLog, AuditView::Joined}) {
        v.strLoginName = u"维한";  // "维?" once converted
        EXPECT_EQ(0, m_model.ChangeView(view, v).screen.page.nTotalRows);
        EXPECT_EQ(0, exported("none.csv"));
        v.strLoginName.clear();
        EXPECT_EQ(view == AuditView::SmsLog ? 2 : 0, m_model.Search(v).screen.page.nTotalRows);
        EXPECT_EQ(view == AuditView::SmsLog ? 2 : 0, exported("all.csv"));
    }
}

TEST_F(BrowserModel, ClosedOrFailingPackageShowsNothingStale) {
    InsertSms(16);
    Open();
    m_model.NextPage();
    BrowserUpdate u = m_model.Close();
    EXPECT_FALSE(u.screen.bOpen);
    EXPECT_FALSE(u.screen.bCounted);
    EXPECT_TRUE(u.screen.rows.empty());
    EXPECT_FALSE(u.screen.buttons.bNext || u.screen.buttons.bPrev || u.screen.buttons.bGoto);
    EXPECT_TRUE(m_model.FirstPage().bRefused);
    EXPECT_TRUE(m_model.NextPage().bRefused);
    EXPECT_TRUE(m_model.Search(Range()).bRefused);
    EXPECT_TRUE(m_model.ChangeView(AuditView::XferLog, Range()).bRefused);
    EXPECT_FALSE(m_model.ForEachRow([](long long, const browser::BrowserRow&) { return true; }));

    // A table gone from the database: counts 0 and an empty page; a move on it stays empty.
    Open();
    browser::test::Exec(m_db, "DROP TABLE unix_sms_log");
    u = m_model.NextPage();
    EXPECT_EQ(2, u.screen.page.nCurPage);
    EXPECT_TRUE(u.screen.rows.empty());
    u = m_model.FirstPage();
    EXPECT_EQ(0, u.screen.page.nTotalRows);
    EXPECT_EQ(1, u.screen.page.nPageCount);
    EXPECT_FALSE(u.screen.buttons.bNext);

    u = m_model.DisablePaging();
    EXPECT_TRUE(u.screen.rows.empty());
    EXPECT_FALSE(u.screen.buttons.bGoto);
}

}  // namespace
