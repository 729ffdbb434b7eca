#include "tavrin/shell/import_batch.h"

#include <cstring>
#include <new>

namespace shell {

namespace {

// Enough rows to pay the statement's overhead once per many rows; more gains nothing.
constexpr int kMaxBatchRows = 32;
// Long rows go in without waiting for a full batch, so that the batch holds no more than this
// beside the line being read (a dump line may be many megabytes long).
constexpr std::size_t kMaxHeldBytes = 1 << 20;

std::string insertSql(const std::string& table, int nColumns, int rows) {
    std::string sql = "INSERT INTO " + table + " VALUES";
    sql.reserve(sql.size() + static_cast<std::size_t>(rows) * (2 * nColumns + 2));
    for (int r = 0; r < rows; ++r) {
        sql += r ? ",(?" : "(?";
        for (int i = 1; i < nColumns; ++i) sql += ",?";
        sql += ")";
    }
    return sql;
}

}  // namespace

CImportBatch::CImportBatch(sqlite3* db, const char* table, int nColumns)
    : m_pDb(db), m_strTable(table), m_nColumns(nColumns) {}

CImportBatch::~CImportBatch() {
    sqlite3_finalize(m_pBatch);
    sqlite3_finalize(m_pOne);
}

bool CImportBatch::Prepare() {
    try {
        if (sqlite3_prepare_v2(m_pDb, insertSql(m_strTable, m_nColumns, 1).c_str(), -1, &m_pOne,
                               nullptr) != SQLITE_OK) {
            m_strError = sqlite3_errmsg(m_pDb);
            return false;
        }
        int limit = sqlite3_limit(m_pDb, SQLITE_LIMIT_VARIABLE_NUMBER, -1);
        int rows = m_nColumns > 0 ? limit / m_nColumns : 0;
        if (rows > kMaxBatchRows) rows = kMaxBatchRows;
        // Without a batch statement every row goes alone, which is only slower.
        if (rows >= 2 && sqlite3_prepare_v2(m_pDb, insertSql(m_strTable, m_nColumns, rows).c_str(),
                                            -1, &m_pBatch, nullptr) == SQLITE_OK) {
            m_nBatchRows = rows;
        }
        m_textEnds.reserve(static_cast<std::size_t>(m_nBatchRows) * m_nColumns);
    } catch (const std::bad_alloc&) {
        if (!m_pOne) {
            m_strError = "out of memory";
            return false;
        }
        // The rows go one at a time.
        sqlite3_finalize(m_pBatch);
        m_pBatch = nullptr;
        m_nBatchRows = 1;
    }
    return true;
}

bool CImportBatch::Add(const SImportField* texts) {
    try {
        for (int f = 0; f < m_nColumns; ++f) {
            m_bytes.insert(m_bytes.end(), texts[f].pText, texts[f].pText + texts[f].nLength);
            m_textEnds.push_back(m_bytes.size());
        }
    } catch (const std::bad_alloc&) {
        // No room to hold it: insert what is held and this row directly, one by one.
        m_textEnds.resize(static_cast<std::size_t>(m_nHeld) * m_nColumns);
        m_bytes.resize(m_nHeld ? m_textEnds.back() : 0);
        if (!Flush()) return false;
        for (int f = 0; f < m_nColumns; ++f) {
            sqlite3_bind_text64(m_pOne, f + 1, texts[f].pText, texts[f].nLength, SQLITE_STATIC,
                                SQLITE_UTF8);
        }
        sqlite3_step(m_pOne);
        return sqlite3_reset(m_pOne) == SQLITE_OK;
    }
    if (++m_nHeld < m_nBatchRows) return m_bytes.size() <= kMaxHeldBytes || Flush();
    bool ok = Run(m_pBatch ? m_pBatch : m_pOne, 0, m_nBatchRows);
    m_bytes.clear();
    m_textEnds.clear();
    m_nHeld = 0;
    return ok;
}

bool CImportBatch::Flush() {
    bool ok = true;
    for (int r = 0; r < m_nHeld && ok; ++r) {
        ok = Run(m_pOne, static_cast<std::size_t>(r) * m_nColumns, 1);
    }
    m_bytes.clear();
    m_textEnds.clear();
    m_nHeld = 0;
    return ok;
}

bool CImportBatch::Run(sqlite3_stmt* stmt, std::size_t firstText, int rows) {
    const char* bytes = m_bytes.data();
    int parameter = 1;
    for (std::size_t t = firstText; t < firstText + static_cast<std::size_t>(rows) * m_nColumns;
         ++t) {
        std::size_t begin = t ? m_textEnds[t - 1] : 0;
        sqlite3_bind_text64(stmt, parameter++, bytes ? bytes + begin : "", m_textEnds[t] - begin,
                            SQLITE_STATIC, SQLITE_UTF8);
    }
    sqlite3_step(stmt);
    return sqlite3_reset(stmt) == SQLITE_OK;
}

}  // namespace shell
