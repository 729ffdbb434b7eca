#include "tavrin/find/session_index_writer.h"

#include "platform/folder_tree.h"
#include "platform/paths.h"
#include "tavrin/find/session_index_schema.h"
#include "tavrin/find/session_tokenizer.h"

namespace session_index {

CIndexWriter::~CIndexWriter() {
    sqlite3_close_v2(m_db);
}

bool CIndexWriter::Open(const std::string& path, std::string& error) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::string file = path + suffix;
        if (platform::PathExists(file) && !platform::DeleteFileEntry(file)) {
            error = "cannot replace " + file;
            return false;
        }
    }
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        error = "cannot create " + path + ": " + sqlite3_errmsg(m_db);
        return false;
    }
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    if (!RegisterNgramTokenizer(m_db)) {
        error = "SQLite has no FTS5";
        return false;
    }
    if (!Exec(kCreateSchema) || !Exec(kTuneIndex) || !Exec("BEGIN")) {
        error = Error();
        return false;
    }
    return m_insEntry.Prepare(m_db, kInsertEntry) && m_insText.Prepare(m_db, kInsertText) &&
                   m_insBlock.Prepare(m_db, kInsertBlock) &&
                   m_insSource.Prepare(m_db, kInsertSource) && m_setState.Prepare(m_db, kSetState)
               ? true
               : (error = Error(), false);
}

std::string CIndexWriter::Error() const {
    return m_db ? sqlite3_errmsg(m_db) : "no index database";
}

bool CIndexWriter::Exec(const char* sql) {
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::int64_t CIndexWriter::AddSource(int kind, const std::string& name, std::int64_t size) {
    sqlite3_stmt* st = m_insSource.p;
    sqlite3_bind_int(st, 1, kind);
    sqlite3_bind_blob(st, 2, name.data(), int(name.size()), SQLITE_STATIC);
    sqlite3_bind_int64(st, 3, size);
    return Step(st) ? sqlite3_last_insert_rowid(m_db) : -1;
}

bool CIndexWriter::AddFileBlock(std::int64_t rank, const std::string& text, std::string_view bytes,
                                std::int64_t source, std::int64_t first, std::int64_t viewer,
                                bool piece) {
    return AddBlock(rank, text, bytes, source, first, viewer, piece, nullptr);
}

bool CIndexWriter::AddTableBlock(std::int64_t rank, const std::string& text, std::int64_t source,
                                 std::int64_t first, const std::string& rows) {
    return AddBlock(rank, text, text, source, first, -1, false, &rows);
}

bool CIndexWriter::SetState(IndexStatus status, std::uint64_t done, std::uint64_t total,
                            const std::string& message) {
    sqlite3_stmt* st = m_setState.p;
    sqlite3_bind_text(st, 1, IndexStatusName(status), -1, SQLITE_STATIC);
    sqlite3_bind_int64(st, 2, static_cast<std::int64_t>(done));
    sqlite3_bind_int64(st, 3, static_cast<std::int64_t>(total));
    sqlite3_bind_text(st, 4, message.data(), int(message.size()), SQLITE_STATIC);
    return Step(st);
}

bool CIndexWriter::CommitNow(std::uint64_t done, std::uint64_t total) {
    m_lastCommit = std::chrono::steady_clock::now();
    return FlushEntry() && SetState(IndexStatus::kBuilding, done, total, "") && Exec("COMMIT") &&
           Exec("BEGIN");
}

bool CIndexWriter::MaybeCommit(std::uint64_t done, std::uint64_t total) {
    if (std::chrono::steady_clock::now() - m_lastCommit < kCommitEvery) return true;
    return CommitNow(done, total);
}

bool CIndexWriter::Finish(IndexStatus status, std::uint64_t done, std::uint64_t total,
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

bool CIndexWriter::AddBlock(std::int64_t rank, const std::string& text, std::string_view bytes,
                            std::int64_t source, std::int64_t first, std::int64_t viewer,
                            bool piece, const std::string* rows) {
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

// Adds the text and bytes of block id to the entry being gathered, writing that entry first
// when the text would take it past kEntryBytes; a block that starts an entry gives it its id.
bool CIndexWriter::JoinEntry(std::int64_t id, const std::string& text, std::string_view bytes) {
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
bool CIndexWriter::FlushEntry() {
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

bool CIndexWriter::Step(sqlite3_stmt* st) {
    int rc = sqlite3_step(st);
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return rc == SQLITE_DONE;
}

void CLineBatcher::Start(std::int64_t source, std::int64_t viewerFirst) {
    m_nSource = source;
    m_nViewerFirst = viewerFirst;
    m_strText.clear();
    m_strBytes.clear();
    m_nLines = 0;
}

bool CLineBatcher::AddLine(std::int64_t lineNo, const std::string& text, std::string_view bytes) {
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

bool CLineBatcher::AddPiece(std::int64_t lineNo, const std::string& text, std::string_view bytes) {
    if (!Flush()) return false;
    return m_writer.AddFileBlock(m_nRank, text, bytes, m_nSource, lineNo, Viewer(lineNo), true);
}

bool CLineBatcher::Flush() {
    if (m_nLines == 0) return true;
    bool ok = m_writer.AddFileBlock(m_nRank, m_strText, m_strBytes, m_nSource, m_nFirst,
                                    Viewer(m_nFirst), false);
    m_strText.clear();
    m_strBytes.clear();
    m_nLines = 0;
    return ok;
}

bool CRowBatcher::Add(std::int64_t row, const std::string& text) {
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

bool CRowBatcher::Flush() {
    if (m_nRows == 0) return true;
    bool ok = m_writer.AddTableBlock(m_nRank, m_strText, m_nSource, m_nFirst, m_strRows);
    m_strText.clear();
    m_strRows.clear();
    m_nRows = 0;
    return ok;
}

}  // namespace session_index
