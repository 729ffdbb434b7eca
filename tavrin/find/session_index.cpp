#include "tavrin/find/session_index.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/ansi_decoder.h"
#include "platform/bounded_read.h"
#include "platform/folder_tree.h"
#include "platform/paths.h"
#include "tavrin/find/appliance_path.h"
#include "tavrin/find/session_index_schema.h"
#include "tavrin/find/sqlite_handles.h"

namespace {

using session_index::Connection;
using session_index::Statement;

using Clock = std::chrono::steady_clock;

// A file entry gathers consecutive lines up to about this size, so the index stores each
// trigram once per block instead of once per line (smaller and faster to build); searches
// split the block back into lines.
constexpr std::size_t kEntryBytes = 2048;
// Longer lines are indexed in pieces of at most this many bytes, each under the line's number,
// so memory stays bounded whatever a file holds.
constexpr std::size_t kMaxLineBytes = 1 << 20;
constexpr std::size_t kReadStep = 1 << 18;
// Progress reaches the file (and other readers) at least this often.
constexpr auto kCommitEvery = std::chrono::milliseconds(1500);

const char kSessionsFolder[] = "var/utm/data/sessions/";

struct Session {
    std::string strView;
    std::string strName;                        // key or recording name, the package's bytes
    std::string strStart, strLogin, strRemote;  // UTF-8
    std::int64_t nRow = 0;
    std::string strRecordPath;  // character sessions: the mapped text record, beneath {work}
};

std::string ColumnBytes(sqlite3_stmt* st, int col) {
    if (col >= sqlite3_column_count(st)) return std::string();
    const unsigned char* text = sqlite3_column_text(st, col);
    if (!text) return std::string();
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(st, col)));
}

std::string QuoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + '"';
}

int StopHandler(void* arg) {
    return static_cast<SessionIndexControl*>(arg)->bStopRequested.load() ? 1 : 0;
}

// Opens a package database read-only, distrusting its schema, stoppable through control.
bool OpenPackageDb(const std::string& path, SessionIndexControl& control, Connection& conn) {
    if (!platform::PathExists(path)) return false;
    if (sqlite3_open_v2(path.c_str(), &conn.p, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return false;
    sqlite3_db_config(conn.p, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(conn.p, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(conn.p, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(conn.p, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_progress_handler(conn.p, 1000, StopHandler, &control);
    return true;
}

// Writes the index database. Every value goes in bound.
class CIndexWriter {
  public:
    ~CIndexWriter() { sqlite3_close_v2(m_db); }

    bool Open(const std::string& path, std::string& error) {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
            std::string file = path + suffix;
            if (platform::PathExists(file) && !platform::DeleteFileEntry(file)) {
                error = "cannot replace " + file;
                return false;
            }
        }
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            error = "cannot create " + path + ": " + sqlite3_errmsg(m_db);
            return false;
        }
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        if (!Exec(session_index::kCreateSchema) || !Exec("BEGIN")) {
            error = Error();
            return false;
        }
        return m_insEntry.Prepare(m_db, session_index::kInsertEntry) &&
                       m_insSession.Prepare(m_db, session_index::kInsertSession) &&
                       m_insSource.Prepare(m_db, session_index::kInsertSource) &&
                       m_setState.Prepare(m_db, session_index::kSetState)
                   ? true
                   : (error = Error(), false);
    }

    std::string Error() const { return m_db ? sqlite3_errmsg(m_db) : "no index database"; }

    bool Exec(const char* sql) {
        return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    bool AddSession(std::int64_t rank, const Session& s) {
        sqlite3_stmt* st = m_insSession.p;
        sqlite3_bind_int64(st, 1, rank);
        sqlite3_bind_text(st, 2, s.strView.data(), int(s.strView.size()), SQLITE_STATIC);
        sqlite3_bind_blob(st, 3, s.strName.data(), int(s.strName.size()), SQLITE_STATIC);
        sqlite3_bind_text(st, 4, s.strStart.data(), int(s.strStart.size()), SQLITE_STATIC);
        sqlite3_bind_text(st, 5, s.strLogin.data(), int(s.strLogin.size()), SQLITE_STATIC);
        sqlite3_bind_text(st, 6, s.strRemote.data(), int(s.strRemote.size()), SQLITE_STATIC);
        sqlite3_bind_int64(st, 7, s.nRow);
        return Step(st);
    }

    // The id of a new source (a file beneath the work folder, or a table).
    std::int64_t AddSource(int kind, const std::string& name) {
        sqlite3_stmt* st = m_insSource.p;
        sqlite3_bind_int(st, 1, kind);
        sqlite3_bind_blob(st, 2, name.data(), int(name.size()), SQLITE_STATIC);
        return Step(st) ? sqlite3_last_insert_rowid(m_db) : -1;
    }

    bool AddEntry(std::int64_t rowid, const std::string& text, std::int64_t source,
                  std::int64_t first, std::int64_t viewer) {
        sqlite3_stmt* st = m_insEntry.p;
        sqlite3_bind_int64(st, 1, rowid);
        sqlite3_bind_text(st, 2, text.data(), int(text.size()), SQLITE_STATIC);
        sqlite3_bind_int64(st, 3, source);
        sqlite3_bind_int64(st, 4, first);
        sqlite3_bind_int64(st, 5, viewer);
        ++m_nEntries;
        return Step(st);
    }

    bool SetState(IndexStatus status, std::uint64_t done, std::uint64_t total,
                  const std::string& message) {
        sqlite3_stmt* st = m_setState.p;
        sqlite3_bind_text(st, 1, IndexStatusName(status), -1, SQLITE_STATIC);
        sqlite3_bind_int64(st, 2, static_cast<std::int64_t>(done));
        sqlite3_bind_int64(st, 3, static_cast<std::int64_t>(total));
        sqlite3_bind_text(st, 4, message.data(), int(message.size()), SQLITE_STATIC);
        return Step(st);
    }

    // Commits what was written with the progress so far, at most every kCommitEvery.
    bool CommitNow(std::uint64_t done, std::uint64_t total) {
        m_lastCommit = Clock::now();
        return SetState(IndexStatus::kBuilding, done, total, "") && Exec("COMMIT") && Exec("BEGIN");
    }
    bool MaybeCommit(std::uint64_t done, std::uint64_t total) {
        if (Clock::now() - m_lastCommit < kCommitEvery) return true;
        return CommitNow(done, total);
    }

    // Ends the build: the final state, committed.
    bool Finish(IndexStatus status, std::uint64_t done, std::uint64_t total,
                const std::string& message) {
        if (status != IndexStatus::kBuilt) {
            // Keep what was written, say how it ended.
            Exec("ROLLBACK");
            Exec("BEGIN");
        }
        if (!SetState(status, done, total, message) || !Exec("COMMIT")) return false;
        // A plain database file once complete, so read-only readers need no WAL files.
        Exec("PRAGMA journal_mode = DELETE");
        return true;
    }

    std::uint64_t Entries() const { return m_nEntries; }
    sqlite3* Db() const { return m_db; }

  private:
    bool Step(sqlite3_stmt* st) {
        int rc = sqlite3_step(st);
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        return rc == SQLITE_DONE;
    }

    sqlite3* m_db = nullptr;
    Statement m_insEntry, m_insSession, m_insSource, m_setState;
    std::uint64_t m_nEntries = 0;
    Clock::time_point m_lastCommit = Clock::now();
};

// Gathers the lines of one file into entries.
class CEntryBatcher {
  public:
    CEntryBatcher(CIndexWriter& writer, std::int64_t rowidBase, std::uint32_t& counter)
        : m_writer(writer), m_nRowidBase(rowidBase), m_nCounter(counter) {}

    void Start(std::int64_t source, std::int64_t viewerFirst) {
        m_nSource = source;
        m_nViewerFirst = viewerFirst;
        m_strText.clear();
        m_nLines = 0;
    }

    // Adds line number lineNo (from 1) whose decoded text is text.
    bool AddLine(std::int64_t lineNo, const std::string& text) {
        if (m_nLines > 0 && m_strText.size() + text.size() > kEntryBytes && !Flush()) return false;
        if (m_nLines == 0)
            m_nFirst = lineNo;
        else
            m_strText += '\n';
        m_strText += text;
        ++m_nLines;
        return true;
    }

    // A piece of a line too long to keep whole: an entry of its own.
    bool AddPiece(std::int64_t lineNo, const std::string& text) {
        if (!Flush()) return false;
        m_nFirst = lineNo;
        m_strText = text;
        m_nLines = 1;
        return Flush();
    }

    bool Flush() {
        if (m_nLines == 0) return true;
        std::int64_t viewer = m_nViewerFirst < 0 ? -1 : m_nViewerFirst + m_nFirst - 1;
        bool ok =
            m_writer.AddEntry(m_nRowidBase + m_nCounter++, m_strText, m_nSource, m_nFirst, viewer);
        m_strText.clear();
        m_nLines = 0;
        return ok;
    }

  private:
    CIndexWriter& m_writer;
    std::int64_t m_nRowidBase;
    std::uint32_t& m_nCounter;
    std::int64_t m_nSource = 0;
    std::int64_t m_nViewerFirst = -1;
    std::int64_t m_nFirst = 0;
    std::size_t m_nLines = 0;
    std::string m_strText;
};

class CIndexBuild {
  public:
    CIndexBuild(const SessionIndexInputs& inputs, SessionIndexControl& control)
        : m_inputs(inputs), m_control(control) {}

    SessionIndexOutcome Run();

  private:
    bool Stopped() const { return m_control.bStopRequested.load(); }
    void ReadSessions(sqlite3* parent);
    void ReadDbaNames(sqlite3* parent);
    std::uint64_t CountRows(sqlite3* db, const std::string& table);
    std::int64_t RankOfGraphic(const std::string& name);
    std::int64_t RankOfCharacter(const std::string& key);
    std::int64_t OrphanRank(const std::string& name);
    bool IndexSessionFiles(std::int64_t rank);
    // Indexes file relPath beneath the work folder; lineCount receives its number of lines.
    bool IndexFile(std::int64_t rank, const std::string& relPath, std::int64_t viewerFirst,
                   std::int64_t& lineCount);
    bool IndexScanTable(sqlite3* parent, const std::string& table);
    bool IndexChildTables(sqlite3* child);
    bool IndexTableRows(sqlite3* db, const std::string& table, const std::string& sql,
                        int sessionColumn, std::int64_t fixedRank);
    bool Progress(std::uint64_t units = 1) {
        m_control.nDone.fetch_add(units);
        if (!m_writer.MaybeCommit(m_control.nDone.load(), m_control.nTotal.load())) {
            m_strError = "cannot write the index: " + m_writer.Error();
            return false;
        }
        return !Stopped();
    }
    std::int64_t RowidBase(std::int64_t rank) const { return rank << 32; }
    std::uint32_t& Counter(std::int64_t rank) {
        if (static_cast<std::size_t>(rank) >= m_counters.size()) m_counters.resize(rank + 1, 0);
        return m_counters[static_cast<std::size_t>(rank)];
    }

    const SessionIndexInputs& m_inputs;
    SessionIndexControl& m_control;
    CIndexWriter m_writer;
    platform::CAnsiDecoder m_decoder;
    std::vector<Session> m_sessions;  // by rank: newest first, then sessions of no view
    std::unordered_map<std::string, std::int64_t> m_graphicRank, m_charRank, m_orphanRank;
    std::unordered_map<std::string, std::vector<std::string>> m_dbaNames;
    std::vector<std::uint32_t> m_counters;
    std::uint64_t m_nLines = 0;
    std::string m_strError;
    std::string m_strLine, m_strDecoded;
};

void CIndexBuild::ReadSessions(sqlite3* parent) {
    struct View {
        const char* table;
        bool graphic;
        int name, start, login, remote, record;
    };
    static const View kViews[] = {
        {"unix_sms_log", false, 8, 4, 6, 7, 9},
        {"unix_xfer_log", false, 8, 4, 6, 7, 9},
        {"unix_vsms_log", true, 8, 3, 5, 7, -1},
        {"unix_xapp_log", true, 8, 3, 5, 7, -1},
    };
    for (const View& view : kViews) {
        Statement st;
        if (!st.Prepare(parent, std::string("SELECT rowid, * FROM ") + view.table)) continue;
        while (!Stopped() && sqlite3_step(st.p) == SQLITE_ROW) {
            Session s;
            s.strView = view.table;
            s.nRow = sqlite3_column_int64(st.p, 0);
            s.strName = ColumnBytes(st.p, view.name + 1);
            s.strStart = m_decoder.ToUtf8(ColumnBytes(st.p, view.start + 1));
            s.strLogin = m_decoder.ToUtf8(ColumnBytes(st.p, view.login + 1));
            s.strRemote = m_decoder.ToUtf8(ColumnBytes(st.p, view.remote + 1));
            if (view.record >= 0) {
                std::string field = ColumnBytes(st.p, view.record + 1);
                if (!field.empty()) {
                    // Beneath the work folder: the mapping's leading '/' is dropped.
                    s.strRecordPath = MapAppliancePath(field);
                    s.strRecordPath.erase(0, s.strRecordPath.find_first_not_of('/'));
                }
            }
            m_sessions.push_back(std::move(s));
        }
    }
    // Newest first; the order of the lists among equal times.
    std::stable_sort(m_sessions.begin(), m_sessions.end(),
                     [](const Session& a, const Session& b) { return a.strStart > b.strStart; });
    for (std::size_t i = 0; i < m_sessions.size(); ++i) {
        const Session& s = m_sessions[i];
        bool graphic = s.strView == "unix_vsms_log" || s.strView == "unix_xapp_log";
        (graphic ? m_graphicRank : m_charRank).emplace(s.strName, static_cast<std::int64_t>(i));
    }
}

void CIndexBuild::ReadDbaNames(sqlite3* parent) {
    // In table order, as the scan viewer reads them.
    Statement st;
    if (!st.Prepare(parent, "SELECT * FROM utm2dba ORDER BY rowid")) return;
    while (!Stopped() && sqlite3_step(st.p) == SQLITE_ROW) {
        if (sqlite3_column_count(st.p) < 3 || sqlite3_column_type(st.p, 2) == SQLITE_NULL) continue;
        m_dbaNames[ColumnBytes(st.p, 1)].push_back(ColumnBytes(st.p, 2));
    }
}

std::uint64_t CIndexBuild::CountRows(sqlite3* db, const std::string& table) {
    Statement st;
    if (!st.Prepare(db, "SELECT count(*) FROM " + QuoteIdentifier(table))) return 0;
    return sqlite3_step(st.p) == SQLITE_ROW
               ? static_cast<std::uint64_t>(sqlite3_column_int64(st.p, 0))
               : 0;
}

std::int64_t CIndexBuild::OrphanRank(const std::string& name) {
    auto found = m_orphanRank.find(name);
    if (found != m_orphanRank.end()) return found->second;
    Session s;
    s.strName = name;
    std::int64_t rank = static_cast<std::int64_t>(m_sessions.size());
    m_sessions.push_back(s);
    m_orphanRank.emplace(name, rank);
    return m_writer.AddSession(rank, s) ? rank : -1;
}

std::int64_t CIndexBuild::RankOfGraphic(const std::string& name) {
    auto found = m_graphicRank.find(name);
    return found != m_graphicRank.end() ? found->second : OrphanRank(name);
}

std::int64_t CIndexBuild::RankOfCharacter(const std::string& key) {
    auto found = m_charRank.find(key);
    return found != m_charRank.end() ? found->second : OrphanRank(key);
}

bool CIndexBuild::IndexFile(std::int64_t rank, const std::string& relPath, std::int64_t viewerFirst,
                            std::int64_t& lineCount) {
    lineCount = 0;
    platform::CBoundedFile file;
    if (!file.OpenBeneath(m_inputs.strWorkFolder, relPath)) return true;  // missing: nothing
    std::int64_t source = m_writer.AddSource(session_index::kSourceFile, relPath);
    if (source < 0) {
        m_strError = "cannot write the index: " + m_writer.Error();
        return false;
    }
    CEntryBatcher batcher(m_writer, RowidBase(rank), Counter(rank));
    batcher.Start(source, viewerFirst);
    std::unique_ptr<char[]> buffer(new char[kReadStep]);
    std::string& line = m_strLine;
    line.clear();
    bool pending = false;    // bytes seen since the last line feed
    bool splitLine = false;  // the current line was too long and went out in pieces
    bool ok = true;
    auto emit = [&](bool piece) {
        if (!line.empty() && line.back() == '\r' && !piece) line.pop_back();
        m_strDecoded.clear();
        m_decoder.AppendUtf8(line, m_strDecoded);
        line.clear();
        return piece || splitLine ? batcher.AddPiece(lineCount, m_strDecoded)
                                  : batcher.AddLine(lineCount, m_strDecoded);
    };
    for (;;) {
        long long got = file.Read(buffer.get(), kReadStep);
        if (got <= 0 || Stopped()) break;
        const char* p = buffer.get();
        const char* end = p + got;
        while (p < end && ok) {
            if (!pending) {
                ++lineCount;
                pending = true;
                splitLine = false;
            }
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
            const char* stop = lf ? lf : end;
            line.append(p, stop);
            p = lf ? lf + 1 : end;
            if (lf) {
                ok = emit(false);
                pending = false;
                ++m_nLines;
            } else if (line.size() > kMaxLineBytes) {
                // Keep a possible CR and a possible lead byte for the next piece.
                std::size_t cut = kMaxLineBytes;
                std::string rest = line.substr(cut);
                line.resize(cut);
                ok = emit(true);
                splitLine = true;
                line = rest;
            }
        }
        if (!ok) break;
    }
    if (ok && pending) {
        ok = emit(false);
        ++m_nLines;
    }
    if (ok) ok = batcher.Flush();
    if (!ok) m_strError = "cannot write the index: " + m_writer.Error();
    return ok;
}

bool CIndexBuild::IndexSessionFiles(std::int64_t rank) {
    const Session& s = m_sessions[static_cast<std::size_t>(rank)];
    if (s.strName.empty() && s.strRecordPath.empty()) return true;
    std::int64_t count = 0;
    if (!s.strRecordPath.empty()) {
        // The text record of a character or transfer session.
        return IndexFile(rank, s.strRecordPath, -1, count);
    }
    // A graphical session: the files utm2dba names, numbered as the scan viewer shows them,
    // then its own ".scan" file, which the viewer shows only when those give no line.
    std::int64_t viewerLines = 0;
    auto names = m_dbaNames.find(s.strName);
    if (names != m_dbaNames.end()) {
        for (const std::string& name : names->second) {
            if (!IndexFile(rank, kSessionsFolder + name, viewerLines, count)) return false;
            viewerLines += count;
            if (Stopped()) return true;
        }
    }
    return IndexFile(rank, kSessionsFolder + s.strName + ".scan", viewerLines == 0 ? 0 : -1, count);
}

bool CIndexBuild::IndexTableRows(sqlite3* db, const std::string& table, const std::string& sql,
                                 int sessionColumn, std::int64_t fixedRank) {
    Statement st;
    bool byRowid = st.Prepare(db, "SELECT rowid, " + sql);
    if (!byRowid && !st.Prepare(db, "SELECT NULL, " + sql)) return true;  // unreadable: nothing
    std::int64_t source = m_writer.AddSource(session_index::kSourceTable, table);
    if (source < 0) {
        m_strError = "cannot write the index: " + m_writer.Error();
        return false;
    }
    std::int64_t ordinal = 0;
    int columns = sqlite3_column_count(st.p);
    std::string text;
    while (!Stopped() && sqlite3_step(st.p) == SQLITE_ROW) {
        ++ordinal;
        std::int64_t row = byRowid ? sqlite3_column_int64(st.p, 0) : ordinal;
        std::int64_t rank =
            fixedRank >= 0 ? fixedRank : RankOfGraphic(ColumnBytes(st.p, sessionColumn + 1));
        if (rank < 0) {
            m_strError = "cannot write the index: " + m_writer.Error();
            return false;
        }
        text.clear();
        bool first = true;
        for (int col = 1; col < columns; ++col) {
            if (sqlite3_column_type(st.p, col) != SQLITE_TEXT) continue;
            if (!first) text += '\t';
            first = false;
            m_decoder.AppendUtf8(ColumnBytes(st.p, col), text);
        }
        ++m_nLines;
        if (!text.empty() &&
            !m_writer.AddEntry(RowidBase(rank) + Counter(rank)++, text, source, row, -1)) {
            m_strError = "cannot write the index: " + m_writer.Error();
            return false;
        }
        if (fixedRank < 0 && !Progress()) return m_strError.empty();
        if (fixedRank >= 0 && (ordinal & 1023) == 0 &&
            !m_writer.MaybeCommit(m_control.nDone.load(), m_control.nTotal.load())) {
            m_strError = "cannot write the index: " + m_writer.Error();
            return false;
        }
    }
    return true;
}

bool CIndexBuild::IndexScanTable(sqlite3* parent, const std::string& table) {
    return IndexTableRows(parent, table, "* FROM " + QuoteIdentifier(table), 1, -1);
}

bool CIndexBuild::IndexChildTables(sqlite3* child) {
    std::vector<std::string> tables;
    {
        Statement st;
        if (!st.Prepare(child,
                        "SELECT name FROM sqlite_master WHERE type = 'table' AND "
                        "name NOT LIKE 'sqlite!_%' ESCAPE '!' ORDER BY rowid"))
            return true;
        while (sqlite3_step(st.p) == SQLITE_ROW) tables.push_back(ColumnBytes(st.p, 0));
    }
    for (const std::string& table : tables) {
        if (Stopped()) return true;
        std::int64_t rank = RankOfCharacter(table);
        if (rank < 0) {
            m_strError = "cannot write the index: " + m_writer.Error();
            return false;
        }
        // Without the size records that the terminal player reads (flag == 1000).
        std::string from = "* FROM " + QuoteIdentifier(table);
        Statement probe;
        bool hasFlag =
            probe.Prepare(child, "SELECT flag FROM " + QuoteIdentifier(table) + " LIMIT 0");
        if (hasFlag) from += " WHERE NOT coalesce(flag == 1000, 0)";
        if (!IndexTableRows(child, table, from, -1, rank)) return false;
        if (!Progress()) return m_strError.empty();
    }
    return true;
}

SessionIndexOutcome CIndexBuild::Run() {
    SessionIndexOutcome outcome;
    if (!m_writer.Open(m_inputs.strIndexDb, outcome.strError)) return outcome;
    Connection parent, child;
    bool hasParent = OpenPackageDb(m_inputs.strParentDb, m_control, parent);
    bool hasChild = OpenPackageDb(m_inputs.strChildDb, m_control, child);

    bool ok = true;
    if (hasParent) {
        ReadSessions(parent.p);
        ReadDbaNames(parent.p);
    }
    std::uint64_t scanRows = 0;
    std::uint64_t childTables = 0;
    if (hasParent)
        scanRows = CountRows(parent.p, "utm_dba_scan") + CountRows(parent.p, "utm_xapp_scan");
    if (hasChild) {
        Statement st;
        if (st.Prepare(child.p, "SELECT count(*) FROM sqlite_master WHERE type = 'table'") &&
            sqlite3_step(st.p) == SQLITE_ROW)
            childTables = static_cast<std::uint64_t>(sqlite3_column_int64(st.p, 0));
    }
    m_control.nTotal = m_sessions.size() + scanRows + childTables;
    std::size_t listed = m_sessions.size();
    for (std::size_t rank = 0; ok && rank < listed; ++rank)
        ok = m_writer.AddSession(static_cast<std::int64_t>(rank), m_sessions[rank]);
    if (!ok) m_strError = "cannot write the index: " + m_writer.Error();
    if (ok) ok = m_writer.CommitNow(0, m_control.nTotal.load());

    for (std::size_t rank = 0; ok && !Stopped() && rank < listed; ++rank) {
        ok = IndexSessionFiles(static_cast<std::int64_t>(rank)) && Progress();
    }
    if (ok && hasParent && !Stopped()) ok = IndexScanTable(parent.p, "utm_dba_scan");
    if (ok && hasParent && !Stopped()) ok = IndexScanTable(parent.p, "utm_xapp_scan");
    if (ok && hasChild && !Stopped()) ok = IndexChildTables(child.p);

    outcome.nEntries = m_writer.Entries();
    outcome.nLines = m_nLines;
    if (!m_strError.empty()) {
        outcome.status = IndexStatus::kFailed;
        outcome.strError = m_strError;
    } else if (Stopped()) {
        outcome.status = IndexStatus::kStopped;
    } else {
        outcome.status = IndexStatus::kBuilt;
        m_control.nDone = m_control.nTotal.load();
    }
    if (!m_writer.Finish(outcome.status, m_control.nDone.load(), m_control.nTotal.load(),
                         outcome.strError) &&
        outcome.status != IndexStatus::kFailed) {
        outcome.status = IndexStatus::kFailed;
        outcome.strError = "cannot write the index: " + m_writer.Error();
    }
    return outcome;
}

}  // namespace

const char* IndexStatusName(IndexStatus status) {
    switch (status) {
        case IndexStatus::kMissing:
            return "missing";
        case IndexStatus::kBuilding:
            return "building";
        case IndexStatus::kBuilt:
            return "built";
        case IndexStatus::kStopped:
            return "stopped";
        case IndexStatus::kFailed:
            return "failed";
    }
    return "failed";
}

std::string IndexPathForWorkFolder(const std::string& workFolder) {
    std::string folder = workFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::size_t slash = folder.rfind('/');
    std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
    return folder + "/" + name + "index.db";
}

SessionIndexInputs IndexInputsForWorkFolder(const std::string& workFolder) {
    std::string folder = workFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::size_t slash = folder.rfind('/');
    std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
    SessionIndexInputs inputs;
    inputs.strWorkFolder = folder;
    inputs.strParentDb = folder + "/" + name + "Parent.db";
    inputs.strChildDb = folder + "/" + name + "child.db";
    inputs.strIndexDb = folder + "/" + name + "index.db";
    return inputs;
}

SessionIndexOutcome BuildSessionIndex(const SessionIndexInputs& inputs,
                                      SessionIndexControl& control) {
    control.nDone = 0;
    control.nTotal = 0;
    CIndexBuild build(inputs, control);
    return build.Run();
}
