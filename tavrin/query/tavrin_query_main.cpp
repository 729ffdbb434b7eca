// tavrin-query WORKFOLDER [options]: prints one view of an imported package (the work folder
// tavrin-import leaves) with the window's filters, as CSV or JSON, through the same browser
// model the window uses. The package's Parent.db is opened read-only; nothing is written.
//
// Exit status: 0 printed; 2 a bad command line (unknown option, bad value, an invalid
// address, a page beyond the last); 1 the package cannot be read (no such work folder, no
// readable Parent.db, a failing query) or the output cannot be written. --find TEXT searches
// the package's text index instead (query_find.h, which tells its own exit statuses).
#include <cstdio>
#include <filesystem>
#include <string>

#include <sqlite3.h>

#include "common/db_handle.h"
#include "common/sqlite_memory.h"
#include "platform/codepage.h"
#include "tavrin/browser/browser_model.h"
#include "tavrin/browser/csv_export.h"
#include "tavrin/query/query_find.h"
#include "tavrin/query/query_options.h"
#include "tavrin/query/query_output.h"
#include "tavrin/workspace/date_range.h"
#include "tavrin/workspace/package_name.h"

namespace {

using query_tool::OutputFormat;
using query_tool::QueryOptions;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int Fail(int status, const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "tavrin-query: %s\n", message.c_str());
    return status;
}

bool Print(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

// Opens path read-only and checks that it is a database SQLite can read.
std::string OpenReadOnly(DbHandle& handle, const std::string& path) {
    handle.path = path;
    if (sqlite3_open_v2(path.c_str(), &handle.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return handle.db ? sqlite3_errmsg(handle.db) : "out of memory";
    // Package databases come from outside.
    sqlite3_db_config(handle.db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(handle.db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
    // Tavrin may be writing the package's later dumps or leaving the write-ahead log: the
    // same bounded wait as Tavrin's own connections.
    sqlite3_busy_timeout(handle.db, 2000);
    sqlite3_stmt* stmt = nullptr;
    std::string error;
    if (sqlite3_prepare_v2(handle.db, "SELECT count(*) FROM sqlite_master", -1, &stmt, nullptr) !=
            SQLITE_OK ||
        sqlite3_step(stmt) != SQLITE_ROW)
        error = sqlite3_errmsg(handle.db);
    sqlite3_finalize(stmt);
    return error;
}

bool HasTable(DbHandle& handle, const char* table) {
    sqlite3_stmt* stmt = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(handle.db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?",
                           -1, &stmt, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, table, -1, SQLITE_STATIC);
        found = sqlite3_step(stmt) == SQLITE_ROW;
    }
    sqlite3_finalize(stmt);
    return found;
}

std::u16string Utf16(const std::string& utf8) {
    return platform::Utf8ToUtf16(utf8);
}

std::u16string TimeText(const query_tool::DateTimeParts& p) {
    return browser::FormatDateTime(p.nYear, p.nMonth, p.nDay, browser::TwoDigit(p.nHour),
                                   browser::TwoDigit(p.nMinute), browser::TwoDigit(p.nSecond));
}

// The filter fields as the window would hold them: a bound not given is the package name's
// date, from 00:00:00 or to 23:59:59, as the pickers show after opening it.
std::optional<std::string> FilterFields(const QueryOptions& o,
                                        const workspace::PackageName& package,
                                        browser::FilterValues& values) {
    auto bound = [](const std::optional<std::string>& given, const std::string& date,
                    bool bEndOfDay) -> std::optional<std::u16string> {
        if (given) return TimeText(*query_tool::ParseDateTime(*given));
        const std::optional<workspace::CalendarDate> d = workspace::ParseDateField(date);
        if (!d) return std::nullopt;
        const int h = bEndOfDay ? 23 : 0, ms = bEndOfDay ? 59 : 0;
        return TimeText({d->nYear, d->nMonth, d->nDay, h, ms, ms});
    };
    const auto from = bound(o.strFrom, package.strStartDate, false);
    if (!from) return "the package name gives no valid start date; give --from";
    const auto to = bound(o.strTo, package.strEndDate, true);
    if (!to) return "the package name gives no valid end date; give --to";
    values.strStart = *from;
    values.strEnd = *to;
    values.strLoginAddr = Utf16(o.strLoginAddr);
    values.strRemoteAddr = Utf16(o.strRemoteAddr);
    values.strLoginName = Utf16(o.strLoginName);
    values.strRemoteName = Utf16(o.strRemoteName);
    return std::nullopt;
}

std::string JsonHead(const QueryOptions& o, const std::string& name,
                     const browser::BrowserScreen& screen) {
    return "{\"package\":" + query_tool::JsonString(name) +
           ",\"view\":" + query_tool::JsonString(o.strViewName) +
           ",\"total\":" + std::to_string(screen.page.nTotalRows) +
           ",\"pages\":" + std::to_string(screen.page.nPageCount);
}

}  // namespace

int main(int argc, char** argv) {
    common::ConfigureSqliteMemory();
    const char* program = argc > 0 ? argv[0] : "tavrin-query";
    QueryOptions options;
    if (std::optional<std::string> error = query_tool::ParseQueryOptions(argc, argv, options)) {
        std::fprintf(stderr, "tavrin-query: %s\n%s", error->c_str(),
                     query_tool::QueryUsage(program).c_str());
        return kExitUsage;
    }
    if (options.bHelp) {
        Print(query_tool::QueryUsage(program));
        return 0;
    }

    std::string folder = options.strWorkFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const std::string name(workspace::FileNameOfPath(folder));
    std::error_code ec;
    if (!workspace::IsUsablePackageName(name) || !std::filesystem::is_directory(folder, ec))
        return Fail(kExitFailed, folder + ": no such work folder");
    if (options.strFind) return query_tool::RunFind(options, folder);
    const workspace::PackageName package = workspace::SplitPackageName(name);

    browser::FilterValues values;
    if (options.HasFilter()) {
        if (std::optional<std::string> error = FilterFields(options, package, values))
            return Fail(kExitUsage, *error);
    }

    DbHandle parent;
    const std::string dbPath = folder + "/" + name + "Parent.db";
    if (!std::filesystem::is_regular_file(dbPath, ec))
        return Fail(kExitFailed,
                    dbPath + ": no such database (not a work folder of tavrin-import?)");
    if (std::string error = OpenReadOnly(parent, dbPath); !error.empty())
        return Fail(kExitFailed, dbPath + ": cannot be read: " + error);

    browser::CBrowserModel model;
    browser::BrowserPackage source;
    source.strName = name;
    source.strPackageFolder = std::filesystem::absolute(folder, ec).string();
    if (ec) source.strPackageFolder = folder;
    source.pParentDb = &parent;
    source.bHasTabTable = HasTable(parent, "vsms_xapp_tab");
    model.Open(source);
    browser::BrowserUpdate update = options.HasFilter() ? model.ChangeView(options.eView, values)
                                                        : model.SelectView(options.eView);
    if (update.nMessage == browser::kMsgBadAddress)  // checked with the options already
        return Fail(kExitUsage, "an address filter is not a valid IPv4 address");
    // A missing joined table lists nothing, as in the window; any other failure is reported.
    const bool bQuietlyEmpty = options.eView == browser::AuditView::Joined && !source.bHasTabTable;
    auto queryFailed = [&]() { return parent.errmsg && !bQuietlyEmpty; };
    if (queryFailed()) return Fail(kExitFailed, std::string("query failed: ") + parent.errmsg);

    const browser::ListLayout layout = update.screen.eLayout;
    const bool json = options.eFormat == OutputFormat::kJson;
    bool written = true;
    if (options.bCount) {
        written = json ? Print(JsonHead(options, name, update.screen) + "}\n")
                       : Print(std::to_string(update.screen.page.nTotalRows) + "\n");
    } else if (options.bAll) {
        written = json ? Print(JsonHead(options, name, update.screen) + ",\"rows\":[")
                       : Print(browser::CsvLine(query_tool::ColumnNames(layout)));
        const bool done = model.ForEachRow([&](long long n, const browser::BrowserRow& row) {
            const std::string text = json ? (n ? ",\n" : "\n") + query_tool::JsonRow(layout, n, row)
                                          : query_tool::CsvRow(n, row);
            written = written && Print(text);
            return written;
        });
        if (!done && written && !bQuietlyEmpty)
            return Fail(kExitFailed,
                        std::string("query failed: ") + (parent.errmsg ? parent.errmsg : ""));
        if (json) written = written && Print("]}\n");
    } else {
        if (options.nPage > 1) {
            update = model.GotoPage(Utf16(std::to_string(options.nPage)));
            if (update.nMessage == browser::kMsgPageBeyondLast)
                return Fail(kExitUsage, "page " + std::to_string(options.nPage) +
                                            " is beyond the last page, " +
                                            std::to_string(update.screen.page.nPageCount));
            if (queryFailed())
                return Fail(kExitFailed, std::string("query failed: ") + parent.errmsg);
        }
        const browser::BrowserScreen& screen = update.screen;
        if (json) {
            written = Print(JsonHead(options, name, screen) +
                            ",\"page\":" + std::to_string(screen.page.nCurPage) + ",\"rows\":[");
            for (size_t i = 0; i < screen.rows.size(); ++i)
                written = written && Print((i ? ",\n" : "\n") +
                                           query_tool::JsonRow(layout, static_cast<long long>(i),
                                                               screen.rows[i]));
            written = written && Print("]}\n");
        } else {
            written = Print(browser::CsvLine(query_tool::ColumnNames(layout)));
            for (size_t i = 0; i < screen.rows.size(); ++i)
                written =
                    written && Print(query_tool::CsvRow(static_cast<long long>(i), screen.rows[i]));
        }
    }
    if (std::fflush(stdout) != 0 || !written || std::ferror(stdout))
        return Fail(kExitFailed, "the output cannot be written");
    return 0;
}
