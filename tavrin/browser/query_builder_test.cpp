#include "tavrin/browser/query_builder.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "tavrin/testing/browser_test_support.h"

namespace {

using namespace browser;

std::string Narrow(const std::u16string& s) {
    return platform::Utf16ToUtf8(s);
}

FilterValues TimeOnly() {
    FilterValues v;
    v.strStart = u"2013-05-07 08:00:00";
    v.strEnd = u"2013-05-08 23:59:59";
    return v;
}

TEST(DateTimeText, PadsMonthDayButNotYear) {
    EXPECT_EQ(u"2013-05-07 08:00:00", FormatDateTime(2013, 5, 7, u"08", u"00", u"00"));
    EXPECT_EQ(u"2016-12-31 23:59:59", FormatDateTime(2016, 12, 31, u"23", u"59", u"59"));
    EXPECT_EQ(u"999-01-10 00:00:00", FormatDateTime(999, 1, 10, u"00", u"00", u"00"));
    EXPECT_EQ(u"00", TwoDigit(0));
    EXPECT_EQ(u"09", TwoDigit(9));
    EXPECT_EQ(u"10", TwoDigit(10));
}

TEST(FilterClause, TimeRangeOnlyForEmptyTextFilters) {
    FilterClause single = BuildFilterClause(TimeOnly(), false);
    EXPECT_EQ(FilterFailure::None, single.failure);
    EXPECT_EQ(
        " where login_time >= \"2013-05-07 08:00:00\" and end_time <= \"2013-05-08 23:59:59\"",
        Narrow(single.strClause));
    FilterClause joined = BuildFilterClause(TimeOnly(), true);
    EXPECT_EQ(
        " where a.login_time >= \"2013-05-07 08:00:00\" and a.end_time <= \"2013-05-08 23:59:59\"",
        Narrow(joined.strClause));
}

TEST(FilterClause, EveryFilterInItsViewsColumnNames) {
    FilterValues v = TimeOnly();
    v.strLoginAddr = u"10.0.0.1";
    v.strRemoteAddr = u"10.0.0.2";
    v.strLoginName = u"root";
    v.strRemoteName = u"ab";
    EXPECT_EQ(
        " where login_time >= \"2013-05-07 08:00:00\" and end_time <= \"2013-05-08 23:59:59\""
        " and login_addr == \"10.0.0.1\" and uhost_addr == \"10.0.0.2\""
        " and login_name LIKE \"%root%\" and remote_name LIKE \"%ab%\"",
        Narrow(BuildFilterClause(v, false).strClause));
    EXPECT_EQ(
        " where a.login_time >= \"2013-05-07 08:00:00\" and a.end_time <= \"2013-05-08 23:59:59\""
        " and a.login_addr == \"10.0.0.1\" and c.remote_addr == \"10.0.0.2\""
        " and a.login_name LIKE \"%root%\" and c.remote_name LIKE \"%ab%\"",
        Narrow(BuildFilterClause(v, true).strClause));

    FilterValues onlyRemoteName = TimeOnly();
    onlyRemoteName.strRemoteName = u"ab";
    EXPECT_EQ(
        " where login_time >= \"2013-05-07 08:00:00\" and end_time <= \"2013-05-08 23:59:59\""
        " and remote_name LIKE \"%ab%\"",
        Narrow(BuildFilterClause(onlyRemoteName, false).strClause));
}

TEST(FilterClause, InvalidAddressStopsWithWhatWasBuilt) {
    FilterValues v = TimeOnly();
    v.strLoginAddr = u"10.0.0.0";
    v.strRemoteAddr = u"10.0.0.2";
    v.strLoginName = u"root";
    FilterClause bad = BuildFilterClause(v, false);
    EXPECT_EQ(FilterFailure::LoginAddress, bad.failure);
    EXPECT_EQ(
        " where login_time >= \"2013-05-07 08:00:00\" and end_time <= \"2013-05-08 23:59:59\"",
        Narrow(bad.strClause));

    v.strLoginAddr = u"10.0.0.1";
    v.strRemoteAddr = u"10.0. 5.1";
    bad = BuildFilterClause(v, true);
    EXPECT_EQ(FilterFailure::RemoteAddress, bad.failure);
    EXPECT_EQ(
        " where a.login_time >= \"2013-05-07 08:00:00\" and a.end_time <= \"2013-05-08 23:59:59\""
        " and a.login_addr == \"10.0.0.1\"",
        Narrow(bad.strClause));
}

TEST(FilterClause, DoubleQuoteInNameIsDoubled) {
    FilterValues v = TimeOnly();
    v.strLoginName = u"a\"b";
    v.strRemoteName = u"\" or \"\"=\"";
    EXPECT_EQ(
        " where login_time >= \"2013-05-07 08:00:00\" and end_time <= \"2013-05-08 23:59:59\""
        " and login_name LIKE \"%a\"\"b%\" and remote_name LIKE \"%\"\" or \"\"\"\"=\"\"%\"",
        Narrow(BuildFilterClause(v, false).strClause));
}

const std::string kF = " where login_time >= \"x\"";

TEST(QueryTexts, SingleTables) {
    EXPECT_EQ("select * from unix_sms_log", TableCountQuery("unix_sms_log", ""));
    EXPECT_EQ("select * from unix_sms_log limit 0, 15", TableFirstPageQuery("unix_sms_log", ""));
    EXPECT_EQ("select * from unix_xfer_log where login_time >= \"x\"",
              TableCountQuery("unix_xfer_log", kF));
    EXPECT_EQ("select * from unix_vsms_log where login_time >= \"x\" limit 0, 15",
              TableFirstPageQuery("unix_vsms_log", kF));
    EXPECT_EQ("select * from unix_xapp_log limit 30, 15", TablePageQuery("unix_xapp_log", "", 30));
    EXPECT_EQ("select * from unix_sms_log where login_time >= \"x\" limit 14999985, 15",
              TablePageQuery("unix_sms_log", kF, 14999985));
    EXPECT_EQ("unix_xapp_log", ViewTable(AuditView::XappLog));
    EXPECT_EQ("unix_vsms_log", ViewTable(AuditView::VsmsLog));
    EXPECT_EQ("unix_xfer_log", ViewTable(AuditView::XferLog));
    EXPECT_EQ("unix_sms_log", ViewTable(AuditView::SmsLog));
    EXPECT_EQ("", ViewTable(AuditView::Joined));
}

const std::string kJ1 =
    "select * from \"unix_vsms_log\" AS a  INNER JOIN \"vsms_xapp_tab\" AS c ON a.session_name = "
    "c.session_name";
const std::string kJ2 =
    "UNION ALL  select * from \"unix_xapp_log\" AS a  INNER JOIN \"vsms_xapp_tab\" AS c ON "
    "a.session_name = c.session_name";
const std::string kJ3 =
    "select c.* , a.end_time,a.width,a.height,a.login_addr,a.login_name from \"unix_vsms_log\" AS "
    "a  "
    "INNER JOIN \"vsms_xapp_tab\" AS c ON a.session_name = c.session_name";
const std::string kJ4 =
    "UNION ALL  select c.* , a.end_time,a.width,a.height,a.login_addr,a.login_name  from "
    "\"unix_xapp_log\" AS a  "
    "INNER JOIN \"vsms_xapp_tab\" AS c ON a.session_name = c.session_name";

TEST(QueryTexts, JoinedViewWithoutFilter) {
    EXPECT_EQ(kJ1 + "  " + kJ2 + " ", JoinedCountQuery(""));
    EXPECT_EQ(kJ3 + "   " + kJ4 + "   limit 0, 15", JoinedFirstPageQuery(""));
    EXPECT_EQ(kJ3 + "  " + kJ4 + "  limit 0, 15", JoinedSearchPageQuery(""));
    EXPECT_EQ(kJ3 + "   " + kJ4 + "  limit 45, 15", JoinedPageQuery("", 45));
}

TEST(QueryTexts, JoinedViewFiltersBothHalves) {
    const std::string f = " where a.login_time >= \"x\"";
    EXPECT_EQ(kJ1 + " " + f + " " + kJ2 + " " + f, JoinedCountQuery(f));
    EXPECT_EQ(kJ3 + "  " + f + " " + kJ4 + " " + f + "  limit 0, 15", JoinedFirstPageQuery(f));
    EXPECT_EQ(kJ3 + " " + f + " " + kJ4 + " " + f + " limit 0, 15", JoinedSearchPageQuery(f));
    EXPECT_EQ(kJ3 + "  " + f + " " + kJ4 + " " + f + " limit 15, 15", JoinedPageQuery(f, 15));
}

}  // namespace
