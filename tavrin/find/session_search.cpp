#include "tavrin/find/session_search.h"

#include <sqlite3.h>

#include <algorithm>
#include <unordered_map>

#include "platform/ansi_decoder.h"
#include "platform/paths.h"
#include "tavrin/find/session_index_schema.h"
#include "tavrin/find/sqlite_handles.h"

namespace {

using session_index::Connection;
using session_index::Statement;

std::string Text(sqlite3_stmt* st, int col) {
    const void* data = sqlite3_column_blob(st, col);
    return data ? std::string(static_cast<const char*>(data),
                              static_cast<std::size_t>(sqlite3_column_bytes(st, col)))
                : std::string();
}

std::string LastComponent(const std::string& folder) {
    std::string trimmed = folder;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    std::size_t slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

IndexStatus StatusFromName(const std::string& name) {
    for (IndexStatus s : {IndexStatus::kBuilding, IndexStatus::kBuilt, IndexStatus::kStopped,
                          IndexStatus::kFailed}) {
        if (name == IndexStatusName(s)) return s;
    }
    return IndexStatus::kMissing;
}

int StopHandler(void* arg) {
    return static_cast<const std::atomic<bool>*>(arg)->load() ? 1 : 0;
}

bool OpenIndex(const std::string& path, const SessionSearchOptions& options, Connection& conn) {
    if (!platform::PathExists(path)) return false;
    if (sqlite3_open_v2(path.c_str(), &conn.p, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return false;
    sqlite3_busy_timeout(conn.p, 2000);
    if (options.pStop)
        sqlite3_progress_handler(conn.p, 1000, StopHandler,
                                 const_cast<std::atomic<bool>*>(options.pStop));
    return true;
}

PackageIndexState ReadState(sqlite3* db, const std::string& workFolder) {
    PackageIndexState state;
    state.strWorkFolder = workFolder;
    state.strPackage = LastComponent(workFolder);
    Statement st;
    if (!st.Prepare(db, session_index::kReadState) || sqlite3_step(st.p) != SQLITE_ROW)
        return state;
    state.status = StatusFromName(Text(st.p, 0));
    state.nDone = static_cast<std::uint64_t>(sqlite3_column_int64(st.p, 1));
    state.nTotal = static_cast<std::uint64_t>(sqlite3_column_int64(st.p, 2));
    state.strMessage = Text(st.p, 3);
    return state;
}

std::size_t CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    }
    return count;
}

struct SessionInfo {
    std::string strView, strName, strStart, strLogin, strRemote;
    std::int64_t nRow = 0;
};

struct SourceInfo {
    int nKind = session_index::kSourceFile;
    std::string strName;
};

// The hits of one package, in its index's order (newest session first).
class CPackageSearch {
  public:
    CPackageSearch(sqlite3* db, const PackageIndexState& state, std::string_view query,
                   const SessionSearchOptions& options)
        : m_db(db), m_state(state), m_query(query), m_options(options) {}

    bool Run(std::vector<SessionHit>& hits, std::uint64_t& total);

  private:
    const SessionInfo* Session(std::int64_t rank);
    const SourceInfo* Source(std::int64_t id);
    void AddLine(std::int64_t rank, std::int64_t source, std::int64_t line, std::int64_t viewer,
                 std::string_view text, std::vector<SessionHit>& hits, std::uint64_t& total);

    sqlite3* m_db;
    const PackageIndexState& m_state;
    std::string_view m_query;
    const SessionSearchOptions& m_options;
    Statement m_sessionQuery, m_sourceQuery;
    std::unordered_map<std::int64_t, SessionInfo> m_sessions;
    std::unordered_map<std::int64_t, SourceInfo> m_sources;
    platform::CAnsiDecoder m_decoder;
};

const SessionInfo* CPackageSearch::Session(std::int64_t rank) {
    auto found = m_sessions.find(rank);
    if (found != m_sessions.end()) return &found->second;
    if (!m_sessionQuery.p &&
        !m_sessionQuery.Prepare(m_db,
                                "SELECT view, name, start_time, login_name, remote_name, row "
                                "FROM sessions WHERE rank = ?"))
        return nullptr;
    SessionInfo info;
    sqlite3_bind_int64(m_sessionQuery.p, 1, rank);
    if (sqlite3_step(m_sessionQuery.p) == SQLITE_ROW) {
        info.strView = Text(m_sessionQuery.p, 0);
        info.strName = Text(m_sessionQuery.p, 1);
        info.strStart = Text(m_sessionQuery.p, 2);
        info.strLogin = Text(m_sessionQuery.p, 3);
        info.strRemote = Text(m_sessionQuery.p, 4);
        info.nRow = sqlite3_column_int64(m_sessionQuery.p, 5);
    }
    sqlite3_reset(m_sessionQuery.p);
    return &m_sessions.emplace(rank, std::move(info)).first->second;
}

const SourceInfo* CPackageSearch::Source(std::int64_t id) {
    auto found = m_sources.find(id);
    if (found != m_sources.end()) return &found->second;
    if (!m_sourceQuery.p &&
        !m_sourceQuery.Prepare(m_db, "SELECT kind, name FROM sources WHERE id = ?"))
        return nullptr;
    SourceInfo info;
    sqlite3_bind_int64(m_sourceQuery.p, 1, id);
    if (sqlite3_step(m_sourceQuery.p) == SQLITE_ROW) {
        info.nKind = sqlite3_column_int(m_sourceQuery.p, 0);
        info.strName = Text(m_sourceQuery.p, 1);
    }
    sqlite3_reset(m_sourceQuery.p);
    return &m_sources.emplace(id, std::move(info)).first->second;
}

void CPackageSearch::AddLine(std::int64_t rank, std::int64_t source, std::int64_t line,
                             std::int64_t viewer, std::string_view text,
                             std::vector<SessionHit>& hits, std::uint64_t& total) {
    std::size_t at = FindIgnoringAsciiCase(text, m_query);
    if (at == std::string_view::npos) return;
    ++total;
    if (hits.size() >= m_options.nMaxHits) return;
    const SessionInfo* session = Session(rank);
    const SourceInfo* src = Source(source);
    SessionHit hit;
    hit.strPackage = m_state.strPackage;
    hit.strWorkFolder = m_state.strWorkFolder;
    if (session) {
        hit.strView = session->strView;
        hit.strSession = session->strName;
        hit.strSessionText = m_decoder.ToUtf8(session->strName);
        hit.nSessionRow = session->nRow;
        hit.strStartTime = session->strStart;
        hit.strLoginName = session->strLogin;
        hit.strRemoteName = session->strRemote;
    }
    if (src) {
        hit.bFromFile = src->nKind == session_index::kSourceFile;
        hit.strSource = src->strName;
    }
    hit.nLine = line;
    hit.nViewerLine = viewer;
    hit.strText = std::string(text);
    hit.nMatchOffset = at;
    hit.nMatchLength = m_query.size();
    hits.push_back(std::move(hit));
}

bool CPackageSearch::Run(std::vector<SessionHit>& hits, std::uint64_t& total) {
    // Three characters make a trigram the index can look up. '%' and '_' would be wildcards
    // to LIKE, and a pattern without a trigram is not answered reliably by this SQLite's
    // index, so such queries scan every text instead. Either way every candidate is checked
    // here, line by line.
    bool useIndex =
        CharacterCount(m_query) >= 3 && m_query.find_first_of("%_") == std::string_view::npos;
    Statement st;
    if (!st.Prepare(m_db, useIndex ? "SELECT rowid, text, source, first, viewer FROM entries "
                                     "WHERE text LIKE ? ORDER BY rowid"
                                   : "SELECT rowid, text, source, first, viewer FROM entries "
                                     "ORDER BY rowid"))
        return false;
    std::string pattern;
    if (useIndex) {
        pattern = "%" + std::string(m_query) + "%";
        sqlite3_bind_text(st.p, 1, pattern.data(), int(pattern.size()), SQLITE_STATIC);
    }
    int rc;
    while ((rc = sqlite3_step(st.p)) == SQLITE_ROW) {
        std::int64_t rowid = sqlite3_column_int64(st.p, 0);
        const char* data = reinterpret_cast<const char*>(sqlite3_column_text(st.p, 1));
        std::string_view text(data ? data : "",
                              static_cast<std::size_t>(sqlite3_column_bytes(st.p, 1)));
        std::int64_t source = sqlite3_column_int64(st.p, 2);
        std::int64_t first = sqlite3_column_int64(st.p, 3);
        std::int64_t viewer = sqlite3_column_int64(st.p, 4);
        std::int64_t rank = rowid >> 32;
        const SourceInfo* src = Source(source);
        if (src && src->nKind == session_index::kSourceFile) {
            std::int64_t line = first;
            std::size_t begin = 0;
            for (;;) {
                std::size_t lf = text.find('\n', begin);
                std::string_view one = text.substr(
                    begin, lf == std::string_view::npos ? std::string_view::npos : lf - begin);
                AddLine(rank, source, line, viewer < 0 ? -1 : viewer + (line - first), one, hits,
                        total);
                if (lf == std::string_view::npos) break;
                begin = lf + 1;
                ++line;
            }
        } else {
            AddLine(rank, source, first, -1, text, hits, total);
        }
        if (!m_options.bCountAll && hits.size() >= m_options.nMaxHits) return true;
    }
    return rc == SQLITE_DONE;
}

}  // namespace

int PercentDone(std::uint64_t done, std::uint64_t total) {
    if (total == 0) return 0;
    if (done >= total) return 100;
    return static_cast<int>(done * 100 / total);
}

std::size_t FindIgnoringAsciiCase(std::string_view text, std::string_view needle) {
    if (needle.empty() || needle.size() > text.size()) return std::string_view::npos;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    const char first = lower(needle[0]);
    const char firstUpper = first >= 'a' && first <= 'z' ? static_cast<char>(first - 32) : first;
    for (std::size_t i = 0; i + needle.size() <= text.size(); ++i) {
        if (text[i] != first && text[i] != firstUpper) continue;
        std::size_t k = 1;
        while (k < needle.size() && lower(text[i + k]) == lower(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

PackageIndexState ReadIndexState(const std::string& workFolder) {
    Connection conn;
    SessionSearchOptions options;
    if (!OpenIndex(IndexPathForWorkFolder(workFolder), options, conn)) {
        PackageIndexState state;
        state.strWorkFolder = workFolder;
        state.strPackage = LastComponent(workFolder);
        return state;
    }
    return ReadState(conn.p, workFolder);
}

SessionSearchResult SearchSessions(const std::vector<std::string>& workFolders,
                                   std::string_view queryUtf8,
                                   const SessionSearchOptions& options) {
    SessionSearchResult result;
    for (const std::string& folder : workFolders) {
        Connection conn;
        PackageIndexState state;
        state.strWorkFolder = folder;
        state.strPackage = LastComponent(folder);
        if (OpenIndex(IndexPathForWorkFolder(folder), options, conn))
            state = ReadState(conn.p, folder);
        if (state.status != IndexStatus::kBuilt) result.bComplete = false;
        if (state.status != IndexStatus::kMissing && !queryUtf8.empty()) {
            std::vector<SessionHit> hits;
            std::uint64_t total = 0;
            if (!CPackageSearch(conn.p, state, queryUtf8, options).Run(hits, total))
                result.bComplete = false;
            result.nTotal += total;
            for (SessionHit& hit : hits) result.hits.push_back(std::move(hit));
        }
        result.packages.push_back(std::move(state));
    }
    if (options.pStop && options.pStop->load()) result.bComplete = false;
    // Each package's hits are newest first already; merge the packages by start time.
    std::stable_sort(
        result.hits.begin(), result.hits.end(),
        [](const SessionHit& a, const SessionHit& b) { return a.strStartTime > b.strStartTime; });
    if (result.hits.size() > options.nMaxHits) result.hits.resize(options.nMaxHits);
    return result;
}
