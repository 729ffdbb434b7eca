#include "tavrin/find/session_search.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <unordered_map>

#include "platform/ansi_decoder.h"
#include "platform/bounded_read.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "tavrin/find/block_codec.h"
#include "tavrin/find/session_index_schema.h"
#include "tavrin/find/session_tokenizer.h"
#include "tavrin/find/sqlite_handles.h"

namespace session_index {

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

unsigned char FoldAsciiCase(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

// Tells whether a text holds a needle, ASCII letters without regard to case, by
// Boyer-Moore-Horspool: it looks at the byte under the needle's end and skips by how far that
// byte's last place in the needle lies from its end, so most bytes of a text are never read.
class CFoldedFinder {
  public:
    explicit CFoldedFinder(std::string_view needle) : m_strNeedle(needle) {
        for (char& c : m_strNeedle)
            c = static_cast<char>(FoldAsciiCase(static_cast<unsigned char>(c)));
        m_skip.fill(m_strNeedle.size());
        for (std::size_t i = 0; i + 1 < m_strNeedle.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(m_strNeedle[i]);
            m_skip[c] = m_strNeedle.size() - 1 - i;
            if (c >= 'a' && c <= 'z') m_skip[c - 32] = m_skip[c];
        }
    }

    bool In(std::string_view text) const {
        const std::size_t n = m_strNeedle.size();
        if (n == 0) return true;
        const auto* t = reinterpret_cast<const unsigned char*>(text.data());
        const auto* needle = reinterpret_cast<const unsigned char*>(m_strNeedle.data());
        for (std::size_t end = n - 1; end < text.size(); end += m_skip[t[end]]) {
            if (FoldAsciiCase(t[end]) != needle[n - 1]) continue;
            const unsigned char* start = t + end + 1 - n;
            std::size_t k = n - 1;
            while (k > 0 && FoldAsciiCase(start[k - 1]) == needle[k - 1]) --k;
            if (k == 0) return true;
        }
        return false;
    }

  private:
    std::string m_strNeedle;  // A-Z as a-z
    std::array<std::size_t, 256> m_skip;
};

int StopHandler(void* arg) {
    return static_cast<const std::atomic<bool>*>(arg)->load() ? 1 : 0;
}

bool IsEscapeCharacter(char c) {
    return c == 'x' || c == 'X' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
           (c >= 'A' && c <= 'F');
}

// The part of a query that, wherever the query matches decoded text, matches text decoded from
// characters of the package's bytes, never an escape "\xNN" of an undecodable byte: checking
// the bytes for it in the code page then misses no line. A match can begin inside an escape
// (at its 'x' or a digit: at most the query's first three characters), and only a backslash
// can begin one; empty when the query has a backslash or is all escape characters.
std::string_view PartOutsideEscapes(std::string_view query) {
    if (query.find('\\') != std::string_view::npos) return {};
    std::size_t skip = 0;
    while (skip < 3 && skip < query.size() && IsEscapeCharacter(query[skip])) ++skip;
    return query.substr(skip);
}

bool OpenIndex(const std::string& path, const SessionSearchOptions& options, Connection& conn) {
    if (!platform::PathExists(path)) return false;
    if (sqlite3_open_v2(path.c_str(), &conn.p, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return false;
    sqlite3_busy_timeout(conn.p, 2000);
    if (!session_index::RegisterNgramTokenizer(conn.p)) return false;
    if (options.pStop)
        sqlite3_progress_handler(conn.p, 1000, StopHandler,
                                 const_cast<std::atomic<bool>*>(options.pStop));
    return true;
}

PackageIndexState ReadState(sqlite3* db, const std::string& workFolder) {
    PackageIndexState state;
    state.strWorkFolder = workFolder;
    state.strPackage = LastComponent(workFolder);
    Statement version;
    // An index of another layout (an older build's) counts as none.
    if (!version.Prepare(db, "PRAGMA user_version") || sqlite3_step(version.p) != SQLITE_ROW ||
        sqlite3_column_int(version.p, 0) != session_index::kSchemaVersion)
        return state;
    Statement st;
    if (!st.Prepare(db, session_index::kReadState) || sqlite3_step(st.p) != SQLITE_ROW)
        return state;
    state.status = IndexStatusFromName(Text(st.p, 0));
    state.nDone = static_cast<std::uint64_t>(sqlite3_column_int64(st.p, 1));
    state.nTotal = static_cast<std::uint64_t>(sqlite3_column_int64(st.p, 2));
    state.strMessage = Text(st.p, 3);
    return state;
}

struct SessionInfo {
    std::string strView, strName, strStart, strLogin, strRemote;
    std::int64_t nRow = 0;
};

struct SourceInfo {
    int nKind = session_index::kSourceFile;
    std::string strName;
    std::int64_t nSize = -1;  // a file's size when it was indexed
    int nTrusted = -1;        // a file's lines count: 1 yes, 0 no (it changed), -1 not seen yet
};

// The hits of one package, in its index's order (newest session first).
class CPackageSearch {
  public:
    CPackageSearch(sqlite3* db, const PackageIndexState& state, std::string_view query,
                   const SessionSearchOptions& options)
        : m_db(db),
          m_state(state),
          m_query(query),
          m_options(options),
          m_opener(state.strWorkFolder) {}

    // False when the index cannot be read to its end; Error() then says why (empty: SQLite's).
    bool Run(std::vector<SessionHit>& hits, std::uint64_t& total);
    const std::string& Error() const { return m_strError; }

  private:
    const SessionInfo* Session(std::int64_t rank);
    SourceInfo* Source(std::int64_t id);
    // Counts (and keeps, while fewer than nMaxHits are kept) the line when it holds the query;
    // a file's line only while the file is Trusted.
    void AddLine(std::int64_t rank, std::int64_t source, bool fromFile, std::int64_t line,
                 std::int64_t viewer, std::string_view text, std::vector<SessionHit>& hits,
                 std::uint64_t& total);
    bool WantedView(std::int64_t rank);
    // True while the file of source still has the size it had when indexed (checked once a
    // search): the package's files are its own, and one that changed no longer holds what the
    // index says it does.
    bool Trusted(std::int64_t source);
    // False when bytes cannot hold the query: they are checked without regard to ASCII case
    // against the query in the package's code page (a file block's bytes), when it has one,
    // and with anyUtf8 also against the query itself (an entry's bytes, whose table rows are
    // UTF-8).
    bool MayHold(std::string_view bytes, bool anyUtf8);
    // The entry's bytes, unpacked into m_strEntryBytes; false when the index is damaged.
    bool UnpackEntry(sqlite3_stmt* text, std::int64_t entry);
    void SearchFileBlock(std::int64_t rank, std::int64_t source, std::int64_t first,
                         std::int64_t viewer, bool piece, std::string_view bytes,
                         std::vector<SessionHit>& hits, std::uint64_t& total);
    void SearchTableBlock(std::int64_t rank, std::int64_t source, std::string_view rows,
                          std::string_view text, std::vector<SessionHit>& hits,
                          std::uint64_t& total);

    sqlite3* m_db;
    const PackageIndexState& m_state;
    std::string_view m_query;
    const SessionSearchOptions& m_options;
    Statement m_sessionQuery, m_sourceQuery;
    std::unordered_map<std::int64_t, SessionInfo> m_sessions;
    std::unordered_map<std::int64_t, SourceInfo> m_sources;
    platform::CAnsiDecoder m_decoder;
    // The query in the package's code page (without what may lie in an escape: see
    // PartOutsideEscapes), to skip blocks without decoding them; empty when the code page
    // cannot say (a backslash may stand for an escaped byte, or the query has characters the
    // code page lacks).
    std::string m_strRawQuery;
    // Find m_strRawQuery, and the query itself (in UTF-8 text) when holding it does not imply
    // holding m_strRawQuery's bytes: it does when they lie within the query's (ASCII).
    std::optional<CFoldedFinder> m_finder, m_utf8Finder;
    platform::CBeneathOpener m_opener;  // the package's files, a few folders kept open
    std::string m_strEntryBytes, m_strLine;
    std::string m_strError;
    // The long line last found in one of its pieces (source, line), 0 for none.
    std::int64_t m_nPieceSource = 0, m_nPieceLine = 0;
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

SourceInfo* CPackageSearch::Source(std::int64_t id) {
    auto found = m_sources.find(id);
    if (found != m_sources.end()) return &found->second;
    if (!m_sourceQuery.p &&
        !m_sourceQuery.Prepare(m_db, "SELECT kind, name, size FROM sources WHERE id = ?"))
        return nullptr;
    SourceInfo info;
    sqlite3_bind_int64(m_sourceQuery.p, 1, id);
    if (sqlite3_step(m_sourceQuery.p) == SQLITE_ROW) {
        info.nKind = sqlite3_column_int(m_sourceQuery.p, 0);
        info.strName = Text(m_sourceQuery.p, 1);
        info.nSize = sqlite3_column_int64(m_sourceQuery.p, 2);
    }
    sqlite3_reset(m_sourceQuery.p);
    return &m_sources.emplace(id, std::move(info)).first->second;
}

void CPackageSearch::AddLine(std::int64_t rank, std::int64_t source, bool fromFile,
                             std::int64_t line, std::int64_t viewer, std::string_view text,
                             std::vector<SessionHit>& hits, std::uint64_t& total) {
    std::size_t at = FindIgnoringAsciiCase(text, m_query);
    if (at == std::string_view::npos || (fromFile && !Trusted(source))) return;
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

bool CPackageSearch::WantedView(std::int64_t rank) {
    if (m_options.views.empty()) return true;
    const SessionInfo* session = Session(rank);
    if (!session) return false;
    for (const std::string& view : m_options.views) {
        if (view == session->strView) return true;
    }
    return false;
}

bool CPackageSearch::Trusted(std::int64_t source) {
    SourceInfo* src = Source(source);
    if (!src) return false;
    if (src->nTrusted < 0) {
        const std::optional<std::uint64_t> size = m_opener.RegularFileSize(src->strName);
        src->nTrusted = size && static_cast<std::int64_t>(*size) == src->nSize ? 1 : 0;
    }
    return src->nTrusted == 1;
}

bool CPackageSearch::MayHold(std::string_view bytes, bool anyUtf8) {
    if (!m_finder) return true;
    return m_finder->In(bytes) || (anyUtf8 && m_utf8Finder && m_utf8Finder->In(bytes));
}

bool CPackageSearch::UnpackEntry(sqlite3_stmt* text, std::int64_t entry) {
    sqlite3_bind_int64(text, 1, entry);
    bool ok = sqlite3_step(text) == SQLITE_ROW;
    if (ok) {
        const std::int64_t length = sqlite3_column_int64(text, 0);
        const void* packed = sqlite3_column_blob(text, 1);
        const std::size_t packedSize = static_cast<std::size_t>(sqlite3_column_bytes(text, 1));
        ok = length >= 0 &&
             UnpackText(std::string_view(static_cast<const char*>(packed), packedSize),
                        static_cast<std::size_t>(length), m_strEntryBytes);
    }
    sqlite3_reset(text);
    return ok;
}

void CPackageSearch::SearchFileBlock(std::int64_t rank, std::int64_t source, std::int64_t first,
                                     std::int64_t viewer, bool piece, std::string_view bytes,
                                     std::vector<SessionHit>& hits, std::uint64_t& total) {
    if (!MayHold(bytes, false)) return;
    std::int64_t line = first;
    std::size_t begin = 0;
    for (;;) {
        std::size_t lf = piece ? std::string_view::npos : bytes.find('\n', begin);
        std::string_view one =
            bytes.substr(begin, lf == std::string_view::npos ? std::string_view::npos : lf - begin);
        if (!piece && !one.empty() && one.back() == '\r') one.remove_suffix(1);
        // The pieces of one long line follow each other: the line is one hit, in the first
        // piece that holds the query (neighbouring pieces share some text).
        const bool counted = piece && source == m_nPieceSource && line == m_nPieceLine;
        if (!counted && (!m_finder || m_finder->In(one))) {
            m_strLine.clear();
            m_decoder.AppendUtf8(one, m_strLine);
            const std::uint64_t before = total;
            AddLine(rank, source, true, line, viewer < 0 ? -1 : viewer + (line - first), m_strLine,
                    hits, total);
            if (piece && total != before) {
                m_nPieceSource = source;
                m_nPieceLine = line;
            }
        }
        if (lf == std::string_view::npos) break;
        begin = lf + 1;
        ++line;
    }
}

void CPackageSearch::SearchTableBlock(std::int64_t rank, std::int64_t source, std::string_view rows,
                                      std::string_view text, std::vector<SessionHit>& hits,
                                      std::uint64_t& total) {
    // rows: "rowid:bytes" for each row, comma-separated; the texts are joined by LF.
    std::size_t at = 0, textAt = 0;
    while (at < rows.size()) {
        std::size_t comma = rows.find(',', at);
        std::string_view item =
            rows.substr(at, comma == std::string_view::npos ? rows.npos : comma - at);
        at = comma == std::string_view::npos ? rows.size() : comma + 1;
        std::size_t colon = item.find(':');
        if (colon == std::string_view::npos) return;
        std::int64_t row = std::strtoll(std::string(item.substr(0, colon)).c_str(), nullptr, 10);
        std::size_t size = std::strtoull(std::string(item.substr(colon + 1)).c_str(), nullptr, 10);
        if (textAt > text.size() || size > text.size() - textAt) return;
        AddLine(rank, source, false, row, -1, text.substr(textAt, size), hits, total);
        textAt += size + 1;
    }
}

bool CPackageSearch::Run(std::vector<SessionHit>& hits, std::uint64_t& total) {
    const std::string expression = session_index::NgramMatchExpression(m_query);
    if (expression.empty()) return true;
    const std::string_view rawPart = PartOutsideEscapes(m_query);
    if (!rawPart.empty()) {
        bool ok = false;
        std::string raw = platform::Utf8ToAnsi(rawPart, &ok);
        if (ok && platform::AnsiToUtf8(raw) == rawPart) m_strRawQuery = std::move(raw);
    }
    if (!m_strRawQuery.empty()) m_finder.emplace(m_strRawQuery);
    if (m_query.find(m_strRawQuery) == std::string_view::npos) m_utf8Finder.emplace(m_query);
    Statement match, block, text;
    if (!match.Prepare(m_db, session_index::kMatchEntries) ||
        !block.Prepare(m_db, session_index::kReadEntryBlocks) ||
        !text.Prepare(m_db, session_index::kReadText))
        return false;
    sqlite3_bind_text(match.p, 1, expression.data(), int(expression.size()), SQLITE_STATIC);
    int rc;
    while ((rc = sqlite3_step(match.p)) == SQLITE_ROW) {
        const std::int64_t entry = sqlite3_column_int64(match.p, 0);
        if (!UnpackEntry(text.p, entry)) {
            m_strError = "the index is damaged: the text of an entry cannot be unpacked";
            return false;
        }
        // Most candidates of a query whose n-grams are all common hold it nowhere.
        if (!MayHold(m_strEntryBytes, true)) continue;
        const std::string_view entryBytes = m_strEntryBytes;
        sqlite3_bind_int64(block.p, 1, entry);
        bool damaged = false;
        while (sqlite3_step(block.p) == SQLITE_ROW && sqlite3_column_int64(block.p, 8) == entry) {
            const std::int64_t rank = sqlite3_column_int64(block.p, 0);
            const std::int64_t source = sqlite3_column_int64(block.p, 1);
            const std::int64_t first = sqlite3_column_int64(block.p, 2);
            if (!WantedView(rank)) continue;  // not a session of the views asked for
            const std::int64_t start = sqlite3_column_int64(block.p, 4);
            const std::int64_t length = sqlite3_column_int64(block.p, 5);
            if (start < 0 || length < 0 ||
                static_cast<std::uint64_t>(start) + static_cast<std::uint64_t>(length) >
                    entryBytes.size()) {
                damaged = true;
                break;
            }
            const std::string_view bytes = entryBytes.substr(static_cast<std::size_t>(start),
                                                             static_cast<std::size_t>(length));
            if (sqlite3_column_type(block.p, 7) == SQLITE_NULL) {
                SearchFileBlock(rank, source, first, sqlite3_column_int64(block.p, 3),
                                sqlite3_column_int(block.p, 6) != 0, bytes, hits, total);
            } else {
                SearchTableBlock(rank, source, Text(block.p, 7), bytes, hits, total);
            }
        }
        sqlite3_reset(block.p);
        if (damaged) {
            m_strError = "the index is damaged: a block lies outside its entry's text";
            return false;
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
    auto lower = [](char c) {
        return static_cast<char>(FoldAsciiCase(static_cast<unsigned char>(c)));
    };
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
            CPackageSearch search(conn.p, state, queryUtf8, options);
            if (!search.Run(hits, total)) {
                result.bComplete = false;
                if (!options.pStop || !options.pStop->load()) {
                    state.bReadFailed = true;
                    state.strMessage =
                        search.Error().empty() ? sqlite3_errmsg(conn.p) : search.Error();
                }
            }
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

}  // namespace session_index
