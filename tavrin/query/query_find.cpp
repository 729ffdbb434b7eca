#include "tavrin/query/query_find.h"

#include <cstdio>

#include "platform/ansi_decoder.h"
#include "tavrin/browser/csv_export.h"
#include "tavrin/query/query_output.h"

namespace query_tool {

namespace {

constexpr int kExitFailed = 1;

const char* const kFindColumns[] = {"view",   "session", "login_time", "login_name", "remote_name",
                                    "source", "line",    "page",       "text"};

// The scan viewer shows 25 lines a page.
std::string PageText(const session_index::SessionHit& hit) {
    return hit.nViewerLine < 0 ? std::string() : std::to_string(hit.nViewerLine / 25 + 1);
}

bool Print(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

}  // namespace

int FindExitStatus(const session_index::SessionSearchResult& result) {
    for (const session_index::PackageIndexState& state : result.packages) {
        if (state.status == session_index::IndexStatus::kFailed || state.bReadFailed)
            return kExitFailed;
    }
    if (!result.bComplete) return kExitIndexIncomplete;
    return result.nTotal > 0 ? 0 : kExitNoHit;
}

std::string IndexStateMessage(const session_index::PackageIndexState& state) {
    if (state.bReadFailed)
        return "the text index of " + state.strPackage + " cannot be read: " + state.strMessage;
    const std::string progress =
        std::to_string(state.nDone) + " of " + std::to_string(state.nTotal) + ", " +
        std::to_string(session_index::PercentDone(state.nDone, state.nTotal)) + "%";
    switch (state.status) {
        case session_index::IndexStatus::kBuilt:
            return std::string();
        case session_index::IndexStatus::kBuilding:
            return "the text index of " + state.strPackage + " is still being built (" + progress +
                   "): hits may be missing";
        case session_index::IndexStatus::kStopped:
            return "the text index of " + state.strPackage + " was stopped before its end (" +
                   progress + "): hits may be missing";
        case session_index::IndexStatus::kMissing:
            return state.strPackage +
                   " has no text index yet (Tavrin and tavrin-import build it after the load)";
        case session_index::IndexStatus::kFailed:
            return "the text index of " + state.strPackage +
                   " could not be built: " + state.strMessage;
    }
    return std::string();
}

std::vector<std::string> FindViews(const QueryOptions& options) {
    if (!options.bViewGiven) return {};
    switch (options.eView) {
        case browser::AuditView::SmsLog:
            return {"unix_sms_log"};
        case browser::AuditView::XferLog:
            return {"unix_xfer_log"};
        case browser::AuditView::VsmsLog:
            return {"unix_vsms_log"};
        case browser::AuditView::XappLog:
            return {"unix_xapp_log"};
        case browser::AuditView::Joined:
            break;
    }
    return {"unix_vsms_log", "unix_xapp_log"};
}

std::string ViewOptionName(const std::string& table) {
    if (table.size() > 9 && table.compare(0, 5, "unix_") == 0 &&
        table.compare(table.size() - 4, 4, "_log") == 0)
        return table.substr(5, table.size() - 9);
    return table;
}

std::string FindCsv(const session_index::SessionSearchResult& result) {
    platform::CAnsiDecoder decoder;
    std::string out = browser::CsvLine(
        std::vector<std::string>(std::begin(kFindColumns), std::end(kFindColumns)));
    for (const session_index::SessionHit& hit : result.hits) {
        out += browser::CsvLine({ViewOptionName(hit.strView), hit.strSessionText, hit.strStartTime,
                                 hit.strLoginName, hit.strRemoteName, decoder.ToUtf8(hit.strSource),
                                 std::to_string(hit.nLine), PageText(hit), hit.strText});
    }
    return out;
}

std::string FindJson(const std::string& package, const std::string& query,
                     const session_index::SessionSearchResult& result, bool bCountOnly) {
    platform::CAnsiDecoder decoder;
    std::string out = "{\"package\":" + JsonString(package) + ",\"query\":" + JsonString(query);
    if (!result.packages.empty()) {
        const session_index::PackageIndexState& state = result.packages.front();
        out += ",\"index\":{\"status\":" + JsonString(IndexStatusName(state.status)) +
               ",\"done\":" + std::to_string(state.nDone) +
               ",\"of\":" + std::to_string(state.nTotal) + "}";
    }
    out += ",\"complete\":" + std::string(result.bComplete ? "true" : "false");
    out += ",\"total\":" + std::to_string(result.nTotal);
    if (bCountOnly) return out + "}\n";
    out += ",\"shown\":" + std::to_string(result.hits.size()) + ",\"hits\":[";
    for (std::size_t i = 0; i < result.hits.size(); ++i) {
        const session_index::SessionHit& hit = result.hits[i];
        const std::string page = PageText(hit);
        out += (i ? ",\n" : "\n");
        out += "{\"view\":" + JsonString(ViewOptionName(hit.strView)) +
               ",\"session\":" + JsonString(hit.strSessionText) +
               ",\"login_time\":" + JsonString(hit.strStartTime) +
               ",\"login_name\":" + JsonString(hit.strLoginName) +
               ",\"remote_name\":" + JsonString(hit.strRemoteName) +
               ",\"source\":" + JsonString(decoder.ToUtf8(hit.strSource)) +
               ",\"source_kind\":" + (hit.bFromFile ? "\"file\"" : "\"table\"") +
               ",\"line\":" + std::to_string(hit.nLine) +
               ",\"page\":" + (page.empty() ? "null" : page) +
               ",\"text\":" + JsonString(hit.strText) +
               ",\"match_offset\":" + std::to_string(hit.nMatchOffset) +
               ",\"match_length\":" + std::to_string(hit.nMatchLength) + "}";
    }
    return out + "]}\n";
}

int RunFind(const QueryOptions& options, const std::string& workFolder) {
    session_index::SessionSearchOptions search;
    search.nMaxHits = options.bCount ? 0 : options.nLimit;
    search.views = FindViews(options);
    const session_index::SessionSearchResult result =
        session_index::SearchSessions({workFolder}, *options.strFind, search);
    const bool json = options.eFormat == OutputFormat::kJson;
    const std::string package =
        result.packages.empty() ? std::string() : result.packages.front().strPackage;
    bool written;
    if (json)
        written = Print(FindJson(package, *options.strFind, result, options.bCount));
    else if (options.bCount)
        written = Print(std::to_string(result.nTotal) + "\n");
    else
        written = Print(FindCsv(result));
    if (std::fflush(stdout) != 0 || !written || std::ferror(stdout)) {
        std::fprintf(stderr, "tavrin-query: the output cannot be written\n");
        return kExitFailed;
    }
    for (const session_index::PackageIndexState& state : result.packages) {
        const std::string message = IndexStateMessage(state);
        if (!message.empty()) std::fprintf(stderr, "tavrin-query: %s\n", message.c_str());
    }
    return FindExitStatus(result);
}

}  // namespace query_tool
