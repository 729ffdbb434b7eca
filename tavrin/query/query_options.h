// The command line of tavrin-query: WORKFOLDER followed by options, parsed from one table
// (QueryOptionTable), so a new option is one entry there. No window; any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "tavrin/browser/query_builder.h"

namespace query_tool {

enum class OutputFormat { kCsv, kJson };

struct QueryOptions {
    std::string strWorkFolder;
    browser::AuditView eView = browser::AuditView::SmsLog;
    std::string strViewName = "sms";  // as given to --view
    bool bViewGiven = false;
    // Filters as typed (UTF-8). Empty: not given.
    std::optional<std::string> strFrom;  // "YYYY-MM-DD HH:MM:SS", checked
    std::optional<std::string> strTo;
    std::string strLoginAddr;
    std::string strRemoteAddr;
    std::string strLoginName;
    std::string strRemoteName;
    int nPage = 1;  // --page, 1 when not given
    bool bAll = false;
    bool bCount = false;
    bool bHelp = false;
    OutputFormat eFormat = OutputFormat::kCsv;
    // --find TEXT: the session lines and rows containing TEXT instead of a view's sessions;
    // at most nLimit of them are printed (all are counted).
    std::optional<std::string> strFind;
    std::size_t nLimit = 1000;
    bool bLimitGiven = false;

    // True when any filter option was given: the view is then filtered as a search of the
    // window filters it (time range included); otherwise it is listed unfiltered, as the
    // window lists a package it has just opened.
    bool HasFilter() const;
};

// One option: its name with the leading "--", whether it takes a value, and what it does with
// it. apply returns an error text, or empty text when the value is accepted.
struct QueryOption {
    const char* name;
    const char* valueName;  // null: a flag without value
    const char* help;
    std::string (*apply)(QueryOptions& options, const std::string& value);
};

const std::vector<QueryOption>& QueryOptionTable();

// Parses argv[1..argc-1]: the work folder and the options ("--name value" or "--name=value",
// in any order). Returns the error text for a bad command line (an unknown option, a missing
// or bad value, no or two work folders, --page with --all, --find with an option it does not
// take, --limit without --find), or nothing.
std::optional<std::string> ParseQueryOptions(int argc, char** argv, QueryOptions& options);

// The usage text, one line per option of the table.
std::string QueryUsage(const char* program);

// "YYYY-MM-DD HH:MM:SS" with a valid calendar date and time: the parts as numbers.
struct DateTimeParts {
    int nYear = 0, nMonth = 0, nDay = 0, nHour = 0, nMinute = 0, nSecond = 0;
};
std::optional<DateTimeParts> ParseDateTime(const std::string& text);

}  // namespace query_tool
