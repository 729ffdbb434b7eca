#include "tavrin/find/session_index_plan.h"

namespace session_index {

namespace {

// temp_store FILE: the plan may outgrow the cache, and then goes to a temporary file rather
// than to memory.
constexpr char kCreatePlan[] = R"(
PRAGMA temp_store = FILE;
CREATE TEMP TABLE listed (seq INTEGER PRIMARY KEY, kind INTEGER NOT NULL, view TEXT NOT NULL,
    name BLOB NOT NULL, start TEXT NOT NULL, login TEXT NOT NULL, remote TEXT NOT NULL,
    row INTEGER NOT NULL, record BLOB NOT NULL);
CREATE TEMP TABLE plan (rank INTEGER PRIMARY KEY, kind INTEGER NOT NULL, name BLOB NOT NULL,
    record BLOB NOT NULL);
CREATE TEMP TABLE dba (seq INTEGER PRIMARY KEY, name BLOB NOT NULL, file BLOB NOT NULL);
CREATE TEMP TABLE scan (seq INTEGER PRIMARY KEY, rank INTEGER NOT NULL, tab INTEGER NOT NULL,
    row INTEGER NOT NULL, text BLOB NOT NULL);
)";

// Ranks are rowids, given in the order rows are inserted: each new row gets one more than the
// largest so far, so a first row of rank -1 makes the ranks start at 0. Both tables take the
// sessions sorted (twice as fast as numbering them with a window function, and no lookup of
// each ranked session back in the listed ones: a large plan outgrows the cache).
constexpr char kRankListed[] = R"(
INSERT INTO temp.plan (rank, kind, name, record) VALUES (-1, 0, '', '');
INSERT INTO temp.plan (kind, name, record)
    SELECT kind, name, record FROM temp.listed ORDER BY start DESC, seq;
DELETE FROM temp.plan WHERE rank = -1;
INSERT INTO main.sessions (rank, view, name, start_time, login_name, remote_name, row)
    VALUES (-1, '', '', '', '', '', 0);
INSERT INTO main.sessions (view, name, start_time, login_name, remote_name, row)
    SELECT view, name, start, login, remote, row FROM temp.listed ORDER BY start DESC, seq;
DELETE FROM main.sessions WHERE rank = -1;
DROP TABLE temp.listed;
CREATE INDEX temp.plan_name ON plan (kind, name);
)";

void BindBytes(sqlite3_stmt* st, int index, const std::string& bytes) {
    sqlite3_bind_blob(st, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
}

void BindText(sqlite3_stmt* st, int index, const std::string& text) {
    sqlite3_bind_text(st, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

std::string ColumnBlob(sqlite3_stmt* st, int col) {
    const void* data = sqlite3_column_blob(st, col);
    return data ? std::string(static_cast<const char*>(data),
                              static_cast<std::size_t>(sqlite3_column_bytes(st, col)))
                : std::string();
}

}  // namespace

bool CIndexPlan::Exec(const char* sql) {
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool CIndexPlan::Step(sqlite3_stmt* st) {
    const int rc = sqlite3_step(st);
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return rc == SQLITE_DONE;
}

bool CIndexPlan::Create(sqlite3* db) {
    m_db = db;
    return Exec(kCreatePlan) &&
           m_addListed.Prepare(db,
                               "INSERT INTO temp.listed (kind, view, name, start, login, remote, "
                               "row, record) VALUES (?, ?, ?, ?, ?, ?, ?, ?)") &&
           m_addDba.Prepare(db, "INSERT INTO temp.dba (name, file) VALUES (?, ?)") &&
           m_addScan.Prepare(db,
                             "INSERT INTO temp.scan (rank, tab, row, text) VALUES (?, ?, ?, ?)");
}

bool CIndexPlan::AddListed(const ListedSession& s) {
    sqlite3_stmt* st = m_addListed.p;
    sqlite3_bind_int(st, 1, static_cast<int>(s.kind));
    BindText(st, 2, s.strView);
    BindBytes(st, 3, s.strName);
    BindText(st, 4, s.strStart);
    BindText(st, 5, s.strLogin);
    BindText(st, 6, s.strRemote);
    sqlite3_bind_int64(st, 7, s.nRow);
    BindBytes(st, 8, s.strRecordPath);
    return Step(st);
}

bool CIndexPlan::RankListed(std::int64_t& count) {
    count = 0;
    if (!Exec(kRankListed)) return false;
    Statement st;
    if (!st.Prepare(m_db, "SELECT count(*) FROM temp.plan") || sqlite3_step(st.p) != SQLITE_ROW)
        return false;
    count = m_nSessions = sqlite3_column_int64(st.p, 0);
    return m_rankOf.Prepare(m_db, "SELECT rank FROM temp.plan WHERE kind = ? AND name = ?") &&
           m_addOrphan.Prepare(m_db,
                               "INSERT INTO temp.plan (rank, kind, name, record) "
                               "VALUES (?, 2, ?, '')") &&
           m_addSession.Prepare(m_db,
                                "INSERT INTO main.sessions (rank, view, name, start_time, "
                                "login_name, remote_name, row) VALUES (?, '', ?, '', '', '', 0)");
}

bool CIndexPlan::AddDbaName(const std::string& recording, const std::string& file) {
    BindBytes(m_addDba.p, 1, recording);
    BindBytes(m_addDba.p, 2, file);
    return Step(m_addDba.p);
}

bool CIndexPlan::IndexDbaNames() {
    return Exec("CREATE INDEX temp.dba_name ON dba (name, seq)") &&
           m_readDba.Prepare(m_db, "SELECT file FROM temp.dba WHERE name = ? ORDER BY seq");
}

bool CIndexPlan::DbaNames(const std::string& recording, std::vector<std::string>& files) {
    files.clear();
    sqlite3_stmt* st = m_readDba.p;
    BindBytes(st, 1, recording);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) files.push_back(ColumnBlob(st, 0));
    sqlite3_reset(st);
    return rc == SQLITE_DONE;
}

std::int64_t CIndexPlan::RankOf(PlanKind kind, const std::string& name) {
    for (PlanKind k : {kind, PlanKind::kOrphan}) {
        sqlite3_stmt* st = m_rankOf.p;
        sqlite3_bind_int(st, 1, static_cast<int>(k));
        BindBytes(st, 2, name);
        const int rc = sqlite3_step(st);
        const std::int64_t rank = rc == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
        sqlite3_reset(st);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) return -1;
        if (rank >= 0) return rank;
    }
    // A session of no view: ranked last, with its name only.
    const std::int64_t rank = m_nSessions;
    sqlite3_bind_int64(m_addOrphan.p, 1, rank);
    BindBytes(m_addOrphan.p, 2, name);
    sqlite3_bind_int64(m_addSession.p, 1, rank);
    BindBytes(m_addSession.p, 2, name);
    if (!Step(m_addOrphan.p) || !Step(m_addSession.p)) return -1;
    ++m_nSessions;
    return rank;
}

bool CIndexPlan::AddScanRow(const PlannedScanRow& row) {
    sqlite3_stmt* st = m_addScan.p;
    sqlite3_bind_int64(st, 1, row.nRank);
    sqlite3_bind_int(st, 2, row.nTable);
    sqlite3_bind_int64(st, 3, row.nRowid);
    BindBytes(st, 4, row.strText);
    if (!Step(st)) return false;
    ++m_nScanRows;
    return true;
}

bool CIndexPlan::StartReading() {
    // Both stay open while the build commits as it goes: a commit leaves reading statements be.
    return m_listed.Prepare(m_db,
                            "SELECT rank, kind, name, record FROM temp.plan WHERE kind < 2 "
                            "ORDER BY rank") &&
           m_scan.Prepare(m_db,
                          "SELECT rank, tab, row, text FROM temp.scan ORDER BY rank, tab, seq");
}

bool CIndexPlan::NextListed(RankedSession& session) {
    const int rc = sqlite3_step(m_listed.p);
    if (rc != SQLITE_ROW) {
        m_bFailed = m_bFailed || rc != SQLITE_DONE;
        return false;
    }
    session.nRank = sqlite3_column_int64(m_listed.p, 0);
    session.kind = static_cast<PlanKind>(sqlite3_column_int(m_listed.p, 1));
    session.strName = ColumnBlob(m_listed.p, 2);
    session.strRecordPath = ColumnBlob(m_listed.p, 3);
    return true;
}

bool CIndexPlan::NextScanRow(PlannedScanRow& row) {
    const int rc = sqlite3_step(m_scan.p);
    if (rc != SQLITE_ROW) {
        m_bFailed = m_bFailed || rc != SQLITE_DONE;
        return false;
    }
    row.nRank = sqlite3_column_int64(m_scan.p, 0);
    row.nTable = sqlite3_column_int(m_scan.p, 1);
    row.nRowid = sqlite3_column_int64(m_scan.p, 2);
    row.strText = ColumnBlob(m_scan.p, 3);
    return true;
}

void CIndexPlan::EndReading() {
    sqlite3_reset(m_listed.p);
    sqlite3_reset(m_scan.p);
}

}  // namespace session_index
