// SQL texts of the session browser: the filter clause built from the filter controls and the
// count and page queries of every audit view. Plain functions with no window, usable from any
// thread.
//
// Wide texts are UTF-16 (std::u16string). Query texts are narrow strings in the ANSI code
// page: the filter clause is passed in already converted (platform::Utf16ToAnsi).
#pragma once

#include <string>

namespace browser {

// Rows per page of the result list.
inline constexpr int kPageSize = 15;

// The five audit views. The joined view unites both graphical session tables with their
// application records (vsms_xapp_tab).
enum class AuditView { XappLog, VsmsLog, XferLog, SmsLog, Joined };

// Table name of a single-table view ("unix_xapp_log", ...); empty for the joined view.
std::string ViewTable(AuditView view);

// "00" to "09" for 0 to 9, the plain decimal number otherwise.
std::u16string TwoDigit(int value);

// A bound of the time range, "%d-%s-%s %s:%s:%s": year unpadded, month and day two digits,
// then the hour, minute and second texts as selected (already two digits).
std::u16string FormatDateTime(int year, int month, int day, const std::u16string& hour,
                              const std::u16string& minute, const std::u16string& second);

// Filter values as the controls hold them.
struct FilterValues {
    std::u16string strStart;  // FormatDateTime of the start bound
    std::u16string strEnd;    // FormatDateTime of the end bound
    std::u16string strLoginAddr;
    std::u16string strRemoteAddr;
    std::u16string strLoginName;
    std::u16string strRemoteName;
};

enum class FilterFailure { None, LoginAddress, RemoteAddress };

struct FilterClause {
    // Empty or starting with " where". On a failure it holds what was built before the
    // failing address: the time range, and the login-address condition when only the remote
    // address failed.
    std::u16string strClause;
    FilterFailure failure = FilterFailure::None;
};

// Builds the filter clause for the view (column names prefixed a./c. in the joined view).
// Addresses must pass IsValidIpv4 (after conversion to the ANSI code page); names match any
// value containing them (LIKE with '%' on both sides; typed '%' and '_' keep their LIKE
// meaning). A double quote in a value is doubled, so every value stays one literal.
FilterClause BuildFilterClause(const FilterValues& values, bool joined);

// Doubles every double quote, for text placed between double quotes in SQL.
std::u16string QuoteForSql(const std::u16string& value);

// Count and page queries. filter is the filter clause in the ANSI code page; offset is the
// number of rows skipped before the page. The table name is inserted as given (callers pass
// one of the fixed table names).
std::string TableCountQuery(const std::string& table, const std::string& filter);
std::string TableFirstPageQuery(const std::string& table, const std::string& filter);
std::string TablePageQuery(const std::string& table, const std::string& filter, int offset);

// Joined view. The filter restricts both halves of the compound query; the limit applies to
// the whole.
std::string JoinedCountQuery(const std::string& filter);
std::string JoinedFirstPageQuery(const std::string& filter);   // first page of a view change
std::string JoinedSearchPageQuery(const std::string& filter);  // first page of a search
std::string JoinedPageQuery(const std::string& filter, int offset);
// Every row of the joined view (the search's page query without its limit), as the export
// and the command line read them.
std::string JoinedAllRowsQuery(const std::string& filter);

}  // namespace browser
