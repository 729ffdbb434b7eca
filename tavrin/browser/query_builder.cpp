#include "tavrin/browser/query_builder.h"

#include "platform/codepage.h"
#include "tavrin/browser/ipv4_check.h"

namespace browser {

namespace {

const char kSelectFrom[] = "select * from ";
const char kJoinVsms[] =
    "select * from \"unix_vsms_log\" AS a  INNER JOIN \"vsms_xapp_tab\" AS c ON a.session_name "
    "= c.session_name ";
const char kJoinXapp[] =
    " UNION ALL  select * from \"unix_xapp_log\" AS a  INNER JOIN \"vsms_xapp_tab\" AS c ON "
    "a.session_name = c.session_name ";
// Page queries of the joined view take the application record first and five session
// columns behind it, so the row filler finds them at fixed positions.
const char kJoinPageVsms[] =
    "select c.* , a.end_time,a.width,a.height,a.login_addr,a.login_name from \"unix_vsms_log\" "
    "AS a  INNER JOIN \"vsms_xapp_tab\" AS c ON a.session_name = c.session_name";
const char kJoinPageXapp[] =
    " UNION ALL  select c.* , a.end_time,a.width,a.height,a.login_addr,a.login_name  from "
    "\"unix_xapp_log\" AS a  INNER JOIN \"vsms_xapp_tab\" AS c ON a.session_name = "
    "c.session_name ";

struct ColumnNames {
    const char16_t* where;
    const char16_t* andEnd;
    const char16_t* loginAddr;
    const char16_t* remoteAddr;
    const char16_t* loginName;
    const char16_t* remoteName;
};

const ColumnNames kJoinedColumns = {
    u" where a.login_time >= \"", u"\" and a.end_time <= \"",    u" and a.login_addr == \"",
    u" and c.remote_addr == \"",  u" and a.login_name LIKE \"%", u" and c.remote_name LIKE \"%",
};
const ColumnNames kSingleColumns = {
    u" where login_time >= \"", u"\" and end_time <= \"",    u" and login_addr == \"",
    u" and uhost_addr == \"",   u" and login_name LIKE \"%", u" and remote_name LIKE \"%",
};

std::string Offset(int offset) {
    return std::to_string(offset);
}

}  // namespace

std::string ViewTable(AuditView view) {
    switch (view) {
        case AuditView::XappLog:
            return "unix_xapp_log";
        case AuditView::VsmsLog:
            return "unix_vsms_log";
        case AuditView::XferLog:
            return "unix_xfer_log";
        case AuditView::SmsLog:
            return "unix_sms_log";
        case AuditView::Joined:
            break;
    }
    return std::string();
}

std::u16string TwoDigit(int value) {
    std::string digits = std::to_string(value);
    if (value >= 0 && value <= 9) digits.insert(0, 1, '0');
    return std::u16string(digits.begin(), digits.end());
}

std::u16string FormatDateTime(int year, int month, int day, const std::u16string& hour,
                              const std::u16string& minute, const std::u16string& second) {
    std::string y = std::to_string(year);
    std::u16string text(y.begin(), y.end());
    text += u'-';
    text += TwoDigit(month);
    text += u'-';
    text += TwoDigit(day);
    text += u' ';
    text += hour;
    text += u':';
    text += minute;
    text += u':';
    text += second;
    return text;
}

std::u16string QuoteForSql(const std::u16string& value) {
    std::u16string out;
    out.reserve(value.size());
    for (char16_t c : value) {
        out += c;
        if (c == u'"') out += u'"';
    }
    return out;
}

FilterClause BuildFilterClause(const FilterValues& values, bool joined) {
    const ColumnNames& cols = joined ? kJoinedColumns : kSingleColumns;
    FilterClause result;
    std::u16string& clause = result.strClause;
    clause = cols.where;
    clause += QuoteForSql(values.strStart);
    clause += cols.andEnd;
    clause += QuoteForSql(values.strEnd);
    clause += u'"';

    if (!values.strLoginAddr.empty()) {
        if (!IsValidIpv4(platform::Utf16ToAnsi(values.strLoginAddr))) {
            result.failure = FilterFailure::LoginAddress;
            return result;
        }
        clause += cols.loginAddr;
        clause += values.strLoginAddr;
        clause += u'"';
    }
    if (!values.strRemoteAddr.empty()) {
        if (!IsValidIpv4(platform::Utf16ToAnsi(values.strRemoteAddr))) {
            result.failure = FilterFailure::RemoteAddress;
            return result;
        }
        clause += cols.remoteAddr;
        clause += values.strRemoteAddr;
        clause += u'"';
    }
    if (!values.strLoginName.empty()) {
        clause += cols.loginName;
        clause += QuoteForSql(values.strLoginName);
        clause += u"%\"";
    }
    if (!values.strRemoteName.empty()) {
        clause += cols.remoteName;
        clause += QuoteForSql(values.strRemoteName);
        clause += u"%\"";
    }
    return result;
}

std::string TableCountQuery(const std::string& table, const std::string& filter) {
    return kSelectFrom + table + filter;
}

std::string TableFirstPageQuery(const std::string& table, const std::string& filter) {
    return TableCountQuery(table, filter) + " limit 0, 15";
}

std::string TablePageQuery(const std::string& table, const std::string& filter, int offset) {
    return TableCountQuery(table, filter) + " limit " + Offset(offset) + ", 15";
}

std::string JoinedCountQuery(const std::string& filter) {
    return kJoinVsms + filter + kJoinXapp + filter;
}

std::string JoinedFirstPageQuery(const std::string& filter) {
    return std::string(kJoinPageVsms) + "  " + filter + kJoinPageXapp + filter + "  limit 0, 15";
}

std::string JoinedSearchPageQuery(const std::string& filter) {
    return std::string(kJoinPageVsms) + " " + filter + kJoinPageXapp + filter + " limit 0, 15";
}

std::string JoinedAllRowsQuery(const std::string& filter) {
    return std::string(kJoinPageVsms) + " " + filter + kJoinPageXapp + filter;
}

std::string JoinedPageQuery(const std::string& filter, int offset) {
    return std::string(kJoinPageVsms) + "  " + filter + kJoinPageXapp + filter + " limit " +
           Offset(offset) + ", 15";
}

}  // namespace browser
