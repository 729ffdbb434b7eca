#include "tavrin/query/query_options.h"

#include <cstring>

#include "platform/codepage.h"
#include "tavrin/browser/ipv4_check.h"
#include "tavrin/workspace/date_range.h"

namespace query_tool {

namespace {

struct ViewName {
    const char* name;
    browser::AuditView view;
};

const ViewName kViews[] = {
    {"sms", browser::AuditView::SmsLog},    {"xfer", browser::AuditView::XferLog},
    {"xapp", browser::AuditView::XappLog},  {"vsms", browser::AuditView::VsmsLog},
    {"joined", browser::AuditView::Joined},
};

bool AllDigits(const std::string& text, size_t from, size_t count) {
    if (from + count > text.size()) return false;
    for (size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

int Number(const std::string& text, size_t from, size_t count) {
    return std::stoi(text.substr(from, count));
}

std::string SetView(QueryOptions& o, const std::string& value) {
    for (const ViewName& v : kViews) {
        if (value == v.name) {
            o.eView = v.view;
            o.strViewName = value;
            o.bViewGiven = true;
            return std::string();
        }
    }
    return "--view takes sms, xfer, xapp, vsms or joined, not \"" + value + "\"";
}

std::string SetTime(std::optional<std::string>& slot, const char* option,
                    const std::string& value) {
    if (!ParseDateTime(value))
        return std::string(option) + " takes a time \"YYYY-MM-DD HH:MM:SS\", not \"" + value + "\"";
    slot = value;
    return std::string();
}

std::string SetText(std::string& slot, const char* option, const std::string& value) {
    if (value.empty()) return std::string(option) + " takes a value that is not empty";
    slot = value;
    return std::string();
}

std::string SetAddress(std::string& slot, const char* option, const std::string& value) {
    if (!browser::IsValidIpv4(platform::Utf8ToAnsi(value)))
        return std::string(option) + " takes an IPv4 address as the appliance logs it, not \"" +
               value + "\"";
    slot = value;
    return std::string();
}

std::string SetLimit(QueryOptions& o, const std::string& value) {
    if (value.empty() || value.size() > 9 || !AllDigits(value, 0, value.size()) ||
        std::stoi(value) < 1)
        return "--limit takes a number of hits from 1, not \"" + value + "\"";
    o.nLimit = static_cast<std::size_t>(std::stoi(value));
    o.bLimitGiven = true;
    return std::string();
}

std::string SetPage(QueryOptions& o, const std::string& value) {
    if (value.empty() || value.size() > 9 || !AllDigits(value, 0, value.size()) ||
        std::stoi(value) < 1)
        return "--page takes a page number from 1, not \"" + value + "\"";
    o.nPage = std::stoi(value);
    return std::string();
}

const std::vector<QueryOption> kOptions = {
    {"view", "sms|xfer|xapp|vsms|joined", "the audit view (sms when not given)", &SetView},
    {"from", "\"YYYY-MM-DD HH:MM:SS\"", "sessions logged in at or after this time",
     [](QueryOptions& o, const std::string& v) { return SetTime(o.strFrom, "--from", v); }},
    {"to", "\"YYYY-MM-DD HH:MM:SS\"", "sessions ended at or before this time",
     [](QueryOptions& o, const std::string& v) { return SetTime(o.strTo, "--to", v); }},
    {"login-addr", "IPV4", "the operator's address, exactly",
     [](QueryOptions& o, const std::string& v) {
         return SetAddress(o.strLoginAddr, "--login-addr", v);
     }},
    {"remote-addr", "IPV4", "the address reached, exactly",
     [](QueryOptions& o, const std::string& v) {
         return SetAddress(o.strRemoteAddr, "--remote-addr", v);
     }},
    {"login-name", "TEXT", "login names containing TEXT (% and _ are wildcards)",
     [](QueryOptions& o, const std::string& v) {
         return SetText(o.strLoginName, "--login-name", v);
     }},
    {"remote-name", "TEXT", "remote names containing TEXT (% and _ are wildcards)",
     [](QueryOptions& o, const std::string& v) {
         return SetText(o.strRemoteName, "--remote-name", v);
     }},
    {"page", "N", "page N of 15 rows (1 when not given)", &SetPage},
    {"all", nullptr, "every row of the view instead of one page",
     [](QueryOptions& o, const std::string&) {
         o.bAll = true;
         return std::string();
     }},
    {"count", nullptr, "only the number of rows (and pages)",
     [](QueryOptions& o, const std::string&) {
         o.bCount = true;
         return std::string();
     }},
    {"find", "TEXT",
     "the lines of the sessions' texts containing TEXT (ASCII case ignored), newest session "
     "first; with --view, --limit, --count and --json only",
     [](QueryOptions& o, const std::string& v) {
         return SetText(o.strFind.emplace(), "--find", v);
     }},
    {"limit", "N", "with --find: at most N hits printed, all counted (1000 when not given)",
     &SetLimit},
    {"json", nullptr, "JSON instead of CSV",
     [](QueryOptions& o, const std::string&) {
         o.eFormat = OutputFormat::kJson;
         return std::string();
     }},
    {"help", nullptr, "this text",
     [](QueryOptions& o, const std::string&) {
         o.bHelp = true;
         return std::string();
     }},
};

const QueryOption* FindOption(const std::string& name) {
    for (const QueryOption& option : kOptions) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

}  // namespace

bool QueryOptions::HasFilter() const {
    return strFrom || strTo || !strLoginAddr.empty() || !strRemoteAddr.empty() ||
           !strLoginName.empty() || !strRemoteName.empty();
}

const std::vector<QueryOption>& QueryOptionTable() {
    return kOptions;
}

std::optional<DateTimeParts> ParseDateTime(const std::string& t) {
    // YYYY-MM-DD HH:MM:SS, exactly: filters compare times as text, so only this form orders
    // them in time.
    if (t.size() != 19 || !AllDigits(t, 0, 4) || t[4] != '-' || !AllDigits(t, 5, 2) ||
        t[7] != '-' || !AllDigits(t, 8, 2) || t[10] != ' ' || !AllDigits(t, 11, 2) ||
        t[13] != ':' || !AllDigits(t, 14, 2) || t[16] != ':' || !AllDigits(t, 17, 2))
        return std::nullopt;
    DateTimeParts p{Number(t, 0, 4),  Number(t, 5, 2),  Number(t, 8, 2),
                    Number(t, 11, 2), Number(t, 14, 2), Number(t, 17, 2)};
    if (!workspace::IsValidCalendarDate(workspace::CalendarDate{p.nYear, p.nMonth, p.nDay}) ||
        p.nHour > 23 || p.nMinute > 59 || p.nSecond > 59)
        return std::nullopt;
    return p;
}

std::optional<std::string> ParseQueryOptions(int argc, char** argv, QueryOptions& options) {
    bool bPageGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0 || arg == "--") {
            if (!options.strWorkFolder.empty())
                return "one work folder only: \"" + options.strWorkFolder + "\" and \"" + arg +
                       "\"";
            if (arg.empty()) return std::string("the work folder is empty text");
            options.strWorkFolder = arg;
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name =
            arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const QueryOption* option = FindOption(name);
        if (!option) return "unknown option --" + name;
        std::string value;
        if (option->valueName) {
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return "--" + name + " needs a value: " + option->valueName;
            }
        } else if (equals != std::string::npos) {
            return "--" + name + " takes no value";
        }
        if (name == "page") bPageGiven = true;
        const std::string error = option->apply(options, value);
        if (!error.empty()) return error;
    }
    if (options.bHelp) return std::nullopt;
    if (options.strWorkFolder.empty()) return std::string("no work folder given");
    if (bPageGiven && options.bAll) return std::string("--page and --all exclude each other");
    if (options.bLimitGiven && !options.strFind) return std::string("--limit goes with --find");
    if (options.strFind && (bPageGiven || options.bAll || options.HasFilter()))
        return std::string("--find goes with --view, --limit, --count and --json only");
    return std::nullopt;
}

std::string QueryUsage(const char* program) {
    std::string text = std::string("usage: ") + program + " WORKFOLDER [options]\n";
    text +=
        "Prints one view of a package imported by tavrin-import (its work folder), as Tavrin "
        "lists it:\nCSV (UTF-8, the export's columns) or JSON.\n";
    for (const QueryOption& option : kOptions) {
        std::string left = std::string("  --") + option.name;
        if (option.valueName) left += std::string(" ") + option.valueName;
        if (left.size() < 40) left.resize(40, ' ');
        text += left + " " + option.help + "\n";
    }
    text += "Exit status: 0 done, 2 bad options or addresses, 1 the package cannot be read.\n";
    text +=
        "With --find: 0 hits, 3 no hit, 4 the text index is not complete yet (still being built, "
        "stopped or not built: what was found is printed), 1 the index cannot be read or its "
        "build failed.\n";
    return text;
}

}  // namespace query_tool
