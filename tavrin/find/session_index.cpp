#include "tavrin/find/session_index.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "common/code_page_chars.h"
#include "platform/ansi_decoder.h"
#include "platform/bounded_read.h"
#include "platform/codepage.h"
#include "platform/folder_tree.h"
#include "platform/paths.h"
#include "tavrin/find/appliance_path.h"
#include "tavrin/find/block_codec.h"
#include "tavrin/find/session_index_plan.h"
#include "tavrin/find/session_index_schema.h"
#include "tavrin/find/session_tokenizer.h"
#include "tavrin/find/sqlite_handles.h"

namespace session_index {

namespace {

using session_index::Connection;
using session_index::Statement;

using Clock = std::chrono::steady_clock;

// A block gathers consecutive lines (or rows) of one source up to about kBlockBytes, and an
// entry of the index consecutive blocks up to about kEntryBytes, so the index stores each
// n-gram once per entry instead of once per line (smaller and faster to build); searches unpack
// an entry's blocks and split them into lines. Larger entries make a smaller index, faster to
// build, but more text to unpack for each candidate a search checks (on the benchmark's
// package, 16 KB against 4 KB: a sixth less build time, a rare word's first page 12 -> 23 ms).
constexpr std::size_t kBlockBytes = 4096;
constexpr std::size_t kEntryBytes = 16384;
// Longer lines are indexed in pieces of at most this many bytes, each under the line's number,
// so memory stays bounded whatever a file holds. Each piece after the first begins with about
// the last kPieceOverlap bytes of the one before, so that a text of up to that size across
// the end of a piece lies whole in the next (a search counts the line once).
constexpr std::size_t kMaxLineBytes = 1 << 20;
constexpr std::size_t kPieceOverlap = 4096;
constexpr std::size_t kReadStep = 1 << 18;
// Progress reaches the file (and other readers) at least this often.
constexpr auto kCommitEvery = std::chrono::milliseconds(1500);

const char kSessionsFolder[] = "var/utm/data/sessions/";

// The start of the character of text (which begins with one) that holds byte at, in the
// package's code page.
std::size_t CharacterStart(std::string_view text, std::size_t at) {
    const common::CharScheme scheme = common::SchemeOfCodePage(platform::AnsiCodePageName());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t length = common::CharLength(scheme, text.substr(pos));
        if (pos + length > at) return pos;
        pos += length;
    }
}

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
    // One read transaction for the whole build: each statement would otherwise take and drop
    // the file's lock, and the scan rows are read one statement each.
    sqlite3_exec(conn.p, "BEGIN", nullptr, nullptr, nullptr);
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
        if (!session_index::RegisterNgramTokenizer(m_db)) {
            error = "SQLite has no FTS5";
            return false;
        }
        if (!Exec(session_index::kCreateSchema) || !Exec(session_index::kTuneIndex) ||
            !Exec("BEGIN")) {
            error = Error();
            return false;
        }
        return m_insEntry.Prepare(m_db, session_index::kInsertEntry) &&
                       m_insText.Prepare(m_db, session_index::kInsertText) &&
                       m_insBlock.Prepare(m_db, session_index::kInsertBlock) &&
                       m_insSource.Prepare(m_db, session_index::kInsertSource) &&
                       m_setState.Prepare(m_db, session_index::kSetState)
                   ? true
                   : (error = Error(), false);
    }

    std::string Error() const { return m_db ? sqlite3_errmsg(m_db) : "no index database"; }

    bool Exec(const char* sql) {
        return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    // The id of a new source (a file beneath the work folder and its size, or a table and -1).
    std::int64_t AddSource(int kind, const std::string& name, std::int64_t size) {
        sqlite3_stmt* st = m_insSource.p;
        sqlite3_bind_int(st, 1, kind);
        sqlite3_bind_blob(st, 2, name.data(), int(name.size()), SQLITE_STATIC);
        sqlite3_bind_int64(st, 3, size);
        return Step(st) ? sqlite3_last_insert_rowid(m_db) : -1;
    }

    // A block of file lines: decoded (indexed) and the file's bytes (kept, packed).
    bool AddFileBlock(std::int64_t rank, const std::string& text, std::string_view bytes,
                      std::int64_t source, std::int64_t first, std::int64_t viewer, bool piece) {
        return AddBlock(rank, text, bytes, source, first, viewer, piece, nullptr);
    }

    // A block of table rows, whose text is also what the index keeps (rows:
    // "rowid:bytes,...").
    bool AddTableBlock(std::int64_t rank, const std::string& text, std::int64_t source,
                       std::int64_t first, const std::string& rows) {
        return AddBlock(rank, text, text, source, first, -1, false, &rows);
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
        return FlushEntry() && SetState(IndexStatus::kBuilding, done, total, "") &&
               Exec("COMMIT") && Exec("BEGIN");
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
            m_nEntryId = 0;
            m_strEntry.clear();
            m_strEntryBytes.clear();
        } else if (!FlushEntry()) {
            return false;
        }
        if (!SetState(status, done, total, message) || !Exec("COMMIT")) return false;
        // A plain database file once complete, so read-only readers need no WAL files.
        Exec("PRAGMA journal_mode = DELETE");
        return true;
    }

    std::uint64_t Entries() const { return m_nEntries; }
    sqlite3* Db() const { return m_db; }

  private:
    // A block of decoded text (indexed) and bytes (kept), rows for a table's.
    bool AddBlock(std::int64_t rank, const std::string& text, std::string_view bytes,
                  std::int64_t source, std::int64_t first, std::int64_t viewer, bool piece,
                  const std::string* rows) {
        const std::int64_t id = ++m_nLastId;
        if (!JoinEntry(id, text, bytes)) return false;
        sqlite3_stmt* st = m_insBlock.p;
        sqlite3_bind_int64(st, 1, id);
        sqlite3_bind_int64(st, 2, rank);
        sqlite3_bind_int64(st, 3, source);
        sqlite3_bind_int64(st, 4, first);
        sqlite3_bind_int64(st, 5, viewer);
        sqlite3_bind_int64(st, 6, static_cast<std::int64_t>(m_strEntryBytes.size() - bytes.size()));
        sqlite3_bind_int64(st, 7, static_cast<std::int64_t>(bytes.size()));
        sqlite3_bind_int(st, 8, piece ? 1 : 0);
        if (rows) sqlite3_bind_text(st, 9, rows->data(), int(rows->size()), SQLITE_STATIC);
        sqlite3_bind_int64(st, 10, m_nEntryId);
        return Step(st);
    }

    // Adds the text and bytes of block id to the entry being gathered, writing that entry
    // first when the text would take it past kEntryBytes; a block that starts an entry gives
    // it its id.
    bool JoinEntry(std::int64_t id, const std::string& text, std::string_view bytes) {
        if (m_nEntryId != 0 && m_strEntry.size() + text.size() >= kEntryBytes && !FlushEntry())
            return false;
        if (m_nEntryId == 0) {
            m_nEntryId = id;
        } else {
            m_strEntry += '\n';
            m_strEntryBytes += '\n';
        }
        m_strEntry += text;
        m_strEntryBytes += bytes;
        return true;
    }

    // Writes the entry being gathered: its n-grams and its bytes, packed.
    bool FlushEntry() {
        if (m_nEntryId == 0) return true;
        sqlite3_stmt* st = m_insEntry.p;
        sqlite3_bind_int64(st, 1, m_nEntryId);
        sqlite3_bind_text(st, 2, m_strEntry.data(), int(m_strEntry.size()), SQLITE_STATIC);
        bool ok = Step(st);
        if (ok) {
            m_packer.Pack(m_strEntryBytes, m_strPacked);
            st = m_insText.p;
            sqlite3_bind_int64(st, 1, m_nEntryId);
            sqlite3_bind_int64(st, 2, static_cast<std::int64_t>(m_strEntryBytes.size()));
            sqlite3_bind_blob(st, 3, m_strPacked.data(), int(m_strPacked.size()), SQLITE_STATIC);
            ok = Step(st);
        }
        ++m_nEntries;
        m_nEntryId = 0;
        m_strEntry.clear();
        m_strEntryBytes.clear();
        return ok;
    }

    bool Step(sqlite3_stmt* st) {
        int rc = sqlite3_step(st);
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        return rc == SQLITE_DONE;
    }

    sqlite3* m_db = nullptr;
    Statement m_insEntry, m_insText, m_insBlock, m_insSource, m_setState;
    std::uint64_t m_nEntries = 0;
    std::int64_t m_nLastId = 0;   // blocks are written in rank order, ids from 1
    std::int64_t m_nEntryId = 0;  // the entry being gathered (its first block), or 0
    std::string m_strEntry;       // its text
    std::string m_strEntryBytes;  // its bytes
    CBlockPacker m_packer;
    std::string m_strPacked;  // the entry's bytes being written, packed
    Clock::time_point m_lastCommit = Clock::now();
};

// Gathers the lines of one file into blocks.
class CEntryBatcher {
  public:
    CEntryBatcher(CIndexWriter& writer, std::int64_t rank) : m_writer(writer), m_nRank(rank) {}

    void Start(std::int64_t source, std::int64_t viewerFirst) {
        m_nSource = source;
        m_nViewerFirst = viewerFirst;
        m_strText.clear();
        m_strBytes.clear();
        m_nLines = 0;
    }

    // Adds line number lineNo (from 1) whose decoded text is text and whose bytes in the file
    // are bytes (a CR included, the LF not).
    bool AddLine(std::int64_t lineNo, const std::string& text, std::string_view bytes) {
        if (m_nLines > 0 && m_strText.size() + text.size() > kBlockBytes && !Flush()) return false;
        if (m_nLines == 0) {
            m_nFirst = lineNo;
        } else {
            m_strText += '\n';
            m_strBytes += '\n';
        }
        m_strText += text;
        m_strBytes += bytes;
        ++m_nLines;
        return true;
    }

    // A piece of a line too long to keep whole, whose bytes are bytes: a block of its own.
    bool AddPiece(std::int64_t lineNo, const std::string& text, std::string_view bytes) {
        if (!Flush()) return false;
        return m_writer.AddFileBlock(m_nRank, text, bytes, m_nSource, lineNo, Viewer(lineNo), true);
    }

    bool Flush() {
        if (m_nLines == 0) return true;
        bool ok = m_writer.AddFileBlock(m_nRank, m_strText, m_strBytes, m_nSource, m_nFirst,
                                        Viewer(m_nFirst), false);
        m_strText.clear();
        m_strBytes.clear();
        m_nLines = 0;
        return ok;
    }

  private:
    std::int64_t Viewer(std::int64_t lineNo) const {
        return m_nViewerFirst < 0 ? -1 : m_nViewerFirst + lineNo - 1;
    }

    CIndexWriter& m_writer;
    std::int64_t m_nRank;
    std::int64_t m_nSource = 0;
    std::int64_t m_nViewerFirst = -1;
    std::int64_t m_nFirst = 0;
    std::size_t m_nLines = 0;
    std::string m_strText, m_strBytes;
};

// Gathers rows of one table that belong to one session into blocks.
class CRowBatcher {
  public:
    CRowBatcher(CIndexWriter& writer, std::int64_t rank, std::int64_t source)
        : m_writer(writer), m_nRank(rank), m_nSource(source) {}

    bool Add(std::int64_t row, const std::string& text) {
        if (m_nRows > 0 && m_strText.size() + text.size() > kBlockBytes && !Flush()) return false;
        if (m_nRows == 0) {
            m_nFirst = row;
        } else {
            m_strText += '\n';
            m_strRows += ',';
        }
        m_strText += text;
        m_strRows += std::to_string(row) + ':' + std::to_string(text.size());
        ++m_nRows;
        return true;
    }

    bool Flush() {
        if (m_nRows == 0) return true;
        bool ok = m_writer.AddTableBlock(m_nRank, m_strText, m_nSource, m_nFirst, m_strRows);
        m_strText.clear();
        m_strRows.clear();
        m_nRows = 0;
        return ok;
    }

  private:
    CIndexWriter& m_writer;
    std::int64_t m_nRank;
    std::int64_t m_nSource;
    std::int64_t m_nFirst = 0;
    std::size_t m_nRows = 0;
    std::string m_strText, m_strRows;
};

class CIndexBuild {
  public:
    CIndexBuild(const SessionIndexInputs& inputs, SessionIndexControl& control)
        : m_inputs(inputs), m_control(control), m_opener(inputs.strWorkFolder) {}

    SessionIndexOutcome Run();

  private:
    bool Stopped() const { return m_control.bStopRequested.load(); }
    // The plan: the listed sessions ranked, utm2dba's names, the scan rows and the tables of
    // child.db by session, so that every session's texts are written together, newest first.
    bool ReadSessions(sqlite3* parent);
    bool ReadDbaNames(sqlite3* parent);
    bool PlanScanRows(sqlite3* parent);
    bool PlanChildTables(sqlite3* child);
    bool IndexSessionFiles(const session_index::RankedSession& session);
    // Indexes file relPath beneath the work folder; lineCount receives its number of lines.
    bool IndexFile(std::int64_t rank, const std::string& relPath, std::int64_t viewerFirst,
                   std::int64_t& lineCount);
    // Indexes what the plan holds for the session of rank (its scan rows, its terminal table).
    bool IndexSessionRows(std::int64_t rank, std::size_t& nextChildTable, sqlite3* child);
    // Indexes every row the statement st gives (rowid in column 0, then the row's columns) as
    // rows of source in the session of rank.
    bool IndexRows(std::int64_t rank, std::int64_t source, sqlite3_stmt* st);
    std::int64_t SourceOf(int kind, const std::string& name, std::int64_t& cached);
    std::string RowText(sqlite3_stmt* st);
    bool WriteFailed() {
        m_strError = "cannot write the index: " + m_writer.Error();
        return false;
    }
    bool Progress(std::uint64_t units = 1) {
        m_control.nDone.fetch_add(units);
        if (!m_writer.MaybeCommit(m_control.nDone.load(), m_control.nTotal.load())) {
            m_strError = "cannot write the index: " + m_writer.Error();
            return false;
        }
        return !Stopped();
    }

    // One scan table: its name and, once a row of it is indexed, its source.
    struct ScanTable {
        std::string strName;
        std::int64_t nSource = -1;
    };
    struct ChildTable {
        std::int64_t nRank;
        std::string strName;
    };
    const SessionIndexInputs& m_inputs;
    SessionIndexControl& m_control;
    CIndexWriter m_writer;
    session_index::CIndexPlan m_plan;
    platform::CAnsiDecoder m_decoder;
    platform::CBeneathOpener m_opener;  // the package's files, a few folders kept open
    std::unique_ptr<char[]> m_readBuffer{new char[kReadStep]};
    ScanTable m_scanTables[2];
    // The next scan row of the plan not yet indexed (nRank -1: none left).
    session_index::PlannedScanRow m_nextScanRow;
    std::vector<ChildTable> m_childTables;  // by rank: one per terminal table of child.db
    std::uint64_t m_nLines = 0;
    std::string m_strError;
    std::string m_strLine, m_strDecoded;
    std::vector<std::string> m_dbaFiles;
};

bool CIndexBuild::ReadSessions(sqlite3* parent) {
    using session_index::PlanKind;
    struct View {
        const char* table;
        PlanKind kind;
        int name, start, login, remote, record;
    };
    static const View kViews[] = {
        {"unix_sms_log", PlanKind::kCharacter, 8, 4, 6, 7, 9},
        {"unix_xfer_log", PlanKind::kCharacter, 8, 4, 6, 7, 9},
        {"unix_vsms_log", PlanKind::kGraphic, 8, 3, 5, 7, -1},
        {"unix_xapp_log", PlanKind::kGraphic, 8, 3, 5, 7, -1},
    };
    session_index::ListedSession s;
    for (const View& view : kViews) {
        Statement st;
        if (!st.Prepare(parent, std::string("SELECT rowid, * FROM ") + view.table)) continue;
        while (!Stopped() && sqlite3_step(st.p) == SQLITE_ROW) {
            s.kind = view.kind;
            s.strView = view.table;
            s.nRow = sqlite3_column_int64(st.p, 0);
            s.strName = ColumnBytes(st.p, view.name + 1);
            s.strStart = m_decoder.ToUtf8(ColumnBytes(st.p, view.start + 1));
            s.strLogin = m_decoder.ToUtf8(ColumnBytes(st.p, view.login + 1));
            s.strRemote = m_decoder.ToUtf8(ColumnBytes(st.p, view.remote + 1));
            s.strRecordPath.clear();
            if (view.record >= 0) {
                std::string field = ColumnBytes(st.p, view.record + 1);
                if (!field.empty()) {
                    // Beneath the work folder: the mapping's leading '/' is dropped.
                    s.strRecordPath = MapAppliancePath(field);
                    s.strRecordPath.erase(0, s.strRecordPath.find_first_not_of('/'));
                }
            }
            if (!m_plan.AddListed(s)) return WriteFailed();
        }
    }
    return true;
}

bool CIndexBuild::ReadDbaNames(sqlite3* parent) {
    // In table order, as the scan viewer reads them.
    Statement st;
    if (st.Prepare(parent, "SELECT * FROM utm2dba ORDER BY rowid")) {
        while (!Stopped() && sqlite3_step(st.p) == SQLITE_ROW) {
            if (sqlite3_column_count(st.p) < 3 || sqlite3_column_type(st.p, 2) == SQLITE_NULL)
                continue;
            if (!m_plan.AddDbaName(ColumnBytes(st.p, 1), ColumnBytes(st.p, 2)))
                return WriteFailed();
        }
    }
    return m_plan.IndexDbaNames() || WriteFailed();
}

bool CIndexBuild::IndexFile(std::int64_t rank, const std::string& relPath, std::int64_t viewerFirst,
                            std::int64_t& lineCount) {
    lineCount = 0;
    platform::CBoundedFile file;
    if (!m_opener.Open(relPath, file)) return true;  // missing: nothing
    // Up to the size it had when opened: no read only to see the end.
    const std::uint64_t size = file.SizeAtOpen();
    std::int64_t source =
        m_writer.AddSource(session_index::kSourceFile, relPath, static_cast<std::int64_t>(size));
    if (source < 0) return WriteFailed();
    CEntryBatcher batcher(m_writer, rank);
    batcher.Start(source, viewerFirst);
    char* const buffer = m_readBuffer.get();
    std::string& line = m_strLine;
    line.clear();
    bool pending = false;       // bytes seen since the last line feed
    bool splitLine = false;     // the current line was too long and went out in pieces
    std::uint64_t filePos = 0;  // bytes read so far
    bool ok = true;
    // The line's bytes go out; a piece keeps a CR, the end of a line drops one (and the bytes
    // kept for a last piece are those of its text).
    auto emit = [&](bool piece) {
        std::string_view text = line;
        if (!piece && !text.empty() && text.back() == '\r') text.remove_suffix(1);
        m_strDecoded.clear();
        m_decoder.AppendUtf8(text, m_strDecoded);
        const bool added = piece || splitLine ? batcher.AddPiece(lineCount, m_strDecoded, text)
                                              : batcher.AddLine(lineCount, m_strDecoded, line);
        line.clear();
        return added;
    };
    while (filePos < size) {
        const std::uint64_t want = std::min<std::uint64_t>(kReadStep, size - filePos);
        long long got = file.Read(buffer, static_cast<std::size_t>(want));
        if (got <= 0 || Stopped()) break;
        const char* p = buffer;
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
                // The next piece takes up the end of this one, from a character's start.
                std::string next = line.substr(CharacterStart(line, kMaxLineBytes - kPieceOverlap));
                line.resize(kMaxLineBytes);
                ok = emit(true);
                splitLine = true;
                line = std::move(next);
            }
        }
        filePos += static_cast<std::uint64_t>(got);
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

bool CIndexBuild::IndexSessionFiles(const session_index::RankedSession& s) {
    if (s.strName.empty() && s.strRecordPath.empty()) return true;
    std::int64_t count = 0;
    if (!s.strRecordPath.empty()) {
        // The text record of a character or transfer session.
        return IndexFile(s.nRank, s.strRecordPath, -1, count);
    }
    if (s.kind != session_index::PlanKind::kGraphic) return true;
    // A graphical session: the files utm2dba names, numbered as the scan viewer shows them,
    // then its own ".scan" file, which the viewer shows only when those give no line.
    std::int64_t viewerLines = 0;
    if (!m_plan.DbaNames(s.strName, m_dbaFiles)) return WriteFailed();
    // A name the viewer does not read is still indexed (beneath the sessions folder, its
    // leading '/' aside), on no page of the viewer.
    for (const std::string& name : m_dbaFiles) {
        const bool shown = ScanViewerReadsName(name);
        const std::string rel =
            kSessionsFolder + name.substr(std::min(name.find_first_not_of('/'), name.size()));
        if (!IndexFile(s.nRank, rel, shown ? viewerLines : -1, count)) return false;
        if (shown) viewerLines += count;
        if (Stopped()) return true;
    }
    const std::string scan = s.strName + ".scan";
    return IndexFile(s.nRank, kSessionsFolder + scan,
                     viewerLines == 0 && ScanViewerReadsName(scan) ? 0 : -1, count);
}

std::int64_t CIndexBuild::SourceOf(int kind, const std::string& name, std::int64_t& cached) {
    if (cached < 0) cached = m_writer.AddSource(kind, name, -1);
    return cached;
}

std::string CIndexBuild::RowText(sqlite3_stmt* st) {
    std::string text;
    bool first = true;
    const int columns = sqlite3_column_count(st);
    for (int col = 1; col < columns; ++col) {
        if (sqlite3_column_type(st, col) != SQLITE_TEXT) continue;
        if (!first) text += '\t';
        first = false;
        m_decoder.AppendUtf8(ColumnBytes(st, col), text);
    }
    return text;
}

bool CIndexBuild::IndexRows(std::int64_t rank, std::int64_t source, sqlite3_stmt* st) {
    CRowBatcher batcher(m_writer, rank, source);
    std::int64_t ordinal = 0;
    while (!Stopped() && sqlite3_step(st) == SQLITE_ROW) {
        ++ordinal;
        const std::int64_t row =
            sqlite3_column_type(st, 0) == SQLITE_NULL ? ordinal : sqlite3_column_int64(st, 0);
        const std::string text = RowText(st);
        ++m_nLines;
        if (!text.empty() && !batcher.Add(row, text)) return WriteFailed();
        if ((ordinal & 1023) == 0 &&
            !m_writer.MaybeCommit(m_control.nDone.load(), m_control.nTotal.load()))
            return WriteFailed();
    }
    return batcher.Flush() || WriteFailed();
}

bool CIndexBuild::PlanScanRows(sqlite3* parent) {
    const char* names[] = {"utm_dba_scan", "utm_xapp_scan"};
    for (int t = 0; t < 2; ++t) {
        ScanTable& table = m_scanTables[t];
        table.strName = names[t];
        // The session name is the row's second column.
        Statement st;
        if (!st.Prepare(parent, "SELECT rowid, * FROM " + QuoteIdentifier(table.strName))) continue;
        session_index::PlannedScanRow row;
        row.nTable = t;
        while (!Stopped() && sqlite3_step(st.p) == SQLITE_ROW) {
            row.nRank = m_plan.RankOf(session_index::PlanKind::kGraphic, ColumnBytes(st.p, 2));
            row.nRowid = sqlite3_column_int64(st.p, 0);
            row.strText = RowText(st.p);
            if (row.nRank < 0 || !m_plan.AddScanRow(row)) return WriteFailed();
        }
    }
    return true;
}

bool CIndexBuild::PlanChildTables(sqlite3* child) {
    Statement st;
    if (!st.Prepare(child,
                    "SELECT name FROM sqlite_master WHERE type = 'table' AND "
                    "name NOT LIKE 'sqlite!_%' ESCAPE '!' ORDER BY rowid"))
        return true;
    while (!Stopped() && sqlite3_step(st.p) == SQLITE_ROW) {
        std::string name = ColumnBytes(st.p, 0);
        const std::int64_t rank = m_plan.RankOf(session_index::PlanKind::kCharacter, name);
        if (rank < 0) return WriteFailed();
        m_childTables.push_back(ChildTable{rank, std::move(name)});
    }
    std::stable_sort(m_childTables.begin(), m_childTables.end(),
                     [](const ChildTable& a, const ChildTable& b) { return a.nRank < b.nRank; });
    return true;
}

bool CIndexBuild::IndexSessionRows(std::int64_t rank, std::size_t& nextChildTable, sqlite3* child) {
    while (m_nextScanRow.nRank == rank) {
        // The session's rows of one scan table together.
        const int t = m_nextScanRow.nTable;
        ScanTable& table = m_scanTables[t];
        const std::int64_t source =
            SourceOf(session_index::kSourceTable, table.strName, table.nSource);
        if (source < 0) return WriteFailed();
        CRowBatcher batcher(m_writer, rank, source);
        for (; m_nextScanRow.nRank == rank && m_nextScanRow.nTable == t;) {
            ++m_nLines;
            if (!m_nextScanRow.strText.empty() &&
                !batcher.Add(m_nextScanRow.nRowid, m_nextScanRow.strText))
                return WriteFailed();
            if (!m_plan.NextScanRow(m_nextScanRow)) {
                if (m_plan.Failed()) return WriteFailed();
                m_nextScanRow.nRank = -1;
            }
            if (!Progress()) return batcher.Flush() ? m_strError.empty() : WriteFailed();
        }
        if (!batcher.Flush()) return WriteFailed();
    }
    for (; nextChildTable < m_childTables.size() && m_childTables[nextChildTable].nRank == rank;
         ++nextChildTable) {
        const std::string& table = m_childTables[nextChildTable].strName;
        std::int64_t cached = -1;
        const std::int64_t source = SourceOf(session_index::kSourceTable, table, cached);
        if (source < 0) return WriteFailed();
        // Without the size records that the terminal player reads (flag == 1000).
        std::string from = " FROM " + QuoteIdentifier(table);
        Statement probe;
        if (probe.Prepare(child, "SELECT flag" + from + " LIMIT 0"))
            from += " WHERE NOT coalesce(flag == 1000, 0)";
        Statement st;
        if (st.Prepare(child, "SELECT rowid, *" + from) ||
            st.Prepare(child, "SELECT NULL, *" + from)) {
            if (!IndexRows(rank, source, st.p)) return false;
        }
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

    std::int64_t listed = 0;
    bool ok = m_plan.Create(m_writer.Db()) || WriteFailed();
    if (ok && hasParent) ok = ReadSessions(parent.p) && ReadDbaNames(parent.p);
    if (ok) ok = m_plan.RankListed(listed) || WriteFailed();
    // Sessions of no view are added (ranked after the listed ones) as the plan meets them.
    if (ok && hasParent) ok = PlanScanRows(parent.p);
    if (ok && hasChild) ok = PlanChildTables(child.p);
    m_control.nTotal =
        static_cast<std::uint64_t>(listed) + m_plan.ScanRows() + m_childTables.size();
    if (ok && !m_writer.CommitNow(0, m_control.nTotal.load())) ok = WriteFailed();
    if (ok) ok = m_plan.StartReading() || WriteFailed();
    m_nextScanRow.nRank = -1;
    if (ok && !m_plan.NextScanRow(m_nextScanRow) && m_plan.Failed()) ok = WriteFailed();

    std::size_t nextChildTable = 0;
    session_index::RankedSession session;
    for (std::int64_t rank = 0; ok && !Stopped() && rank < m_plan.Sessions(); ++rank) {
        if (rank < listed) {
            ok = m_plan.NextListed(session) && session.nRank == rank ? IndexSessionFiles(session)
                                                                     : WriteFailed();
            ok = ok && Progress();
        }
        if (ok && !Stopped()) ok = IndexSessionRows(rank, nextChildTable, child.p);
    }
    m_plan.EndReading();
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

}  // namespace session_index
