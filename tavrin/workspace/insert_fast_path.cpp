#include "tavrin/workspace/insert_fast_path.h"

#include <sqlite3.h>

#include <cstring>

#include "common/sql_stop.h"
#include "tavrin/workspace/package_sql_guard.h"

namespace workspace {

namespace {

// Rows of one prepared INSERT: beyond a few dozen the step's fixed cost is gone, and the
// statement stays small enough to keep one per table.
constexpr int kMaxRowsPerStatement = 64;
// Prepared INSERTs kept: the dump's lines come table by table, so a few suffice.
constexpr std::size_t kCachedStatements = 8;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A byte SQLite takes as part of an identifier or keyword.
bool IsIdChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) ||
           c == '_' || c == '$';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void SkipBlanks(const char*& p, const char* end) {
    while (p < end && IsBlank(*p)) ++p;
}

// Consumes the keyword (any letter case) when it stands at p as a whole word.
bool Keyword(const char*& p, const char* end, const char* word) {
    const std::size_t n = std::strlen(word);
    if (static_cast<std::size_t>(end - p) < n || sqlite3_strnicmp(p, word, static_cast<int>(n)))
        return false;
    if (p + n < end && IsIdChar(p[n])) return false;
    p += n;
    return true;
}

// Consumes a table name: a quoted name (`..`, "..", [..]; a doubled quote inside stands for
// one) or a bare identifier.
bool TableName(const char*& p, const char* end) {
    if (p >= end) return false;
    const char open = *p;
    if (open == '`' || open == '"' || open == '[') {
        const char close = open == '[' ? ']' : open;
        const char* q = p + 1;
        while (true) {
            q = static_cast<const char*>(std::memchr(q, close, static_cast<std::size_t>(end - q)));
            if (!q) return false;
            if (close != ']' && q + 1 < end && q[1] == close) {
                q += 2;
                continue;
            }
            break;
        }
        if (q == p + 1) return false;  // an empty name: leave its message to SQLite
        p = q + 1;
        return true;
    }
    if (IsDigit(open) || !IsIdChar(open)) return false;
    while (p < end && IsIdChar(*p)) ++p;
    return true;
}

// What SQLite makes of the digits of an integer literal (leading zeros skipped): 0 fits in
// 64 bits, 3 is exactly 2^63, 2 is larger.
int IntegerClass(const char* digits, std::size_t n, std::uint64_t& value) {
    while (n > 0 && *digits == '0') {
        ++digits;
        --n;
    }
    if (n > 19) return 2;
    value = 0;
    for (std::size_t i = 0; i < n; ++i) value = value * 10 + static_cast<unsigned>(digits[i] - '0');
    if (n < 19) return 0;
    const int c = std::memcmp(digits, "9223372036854775808", 19);
    return c < 0 ? 0 : c == 0 ? 3 : 2;
}

}  // namespace

CInsertFastPath::CInsertFastPath(sqlite3* db) : m_db(db) {}

CInsertFastPath::~CInsertFastPath() {
    for (SCached& cached : m_cache) sqlite3_finalize(cached.pStmt);
    sqlite3_finalize(m_pRealOf);
}

bool CInsertFastPath::RealOf(const char* text, std::size_t size, double& value) {
    // A literal's real is SQLite's text-to-real conversion of its token, the same one a cast
    // of that text uses; asking SQLite keeps every rounding of the library in use.
    if (!m_pRealOf &&
        sqlite3_prepare_v3(m_db, "SELECT CAST(?1 AS REAL)", -1, SQLITE_PREPARE_PERSISTENT,
                           &m_pRealOf, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_pRealOf);
        m_pRealOf = nullptr;
        return false;
    }
    bool ok =
        sqlite3_bind_text(m_pRealOf, 1, text, static_cast<int>(size), SQLITE_STATIC) == SQLITE_OK &&
        sqlite3_step(m_pRealOf) == SQLITE_ROW && sqlite3_column_type(m_pRealOf, 0) == SQLITE_FLOAT;
    if (ok) value = sqlite3_column_double(m_pRealOf, 0);
    sqlite3_reset(m_pRealOf);
    sqlite3_clear_bindings(m_pRealOf);
    return ok;
}

bool CInsertFastPath::ParseNumber(const char*& p, const char* end) {
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    const char* start = p;
    while (p < end && IsDigit(*p)) ++p;
    const char* digitsEnd = p;
    bool isReal = false;
    if (p < end && *p == '.') {
        isReal = true;
        ++p;
        while (p < end && IsDigit(*p)) ++p;
        if (p - start == 1) return false;  // a lone "."
    } else if (p == start) {
        return false;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (q < end && (*q == '+' || *q == '-')) ++q;
        if (q < end && IsDigit(*q)) {
            isReal = true;
            while (q < end && IsDigit(*q)) ++q;
            p = q;
        }
    }
    // "12abc", "1e", "1.2.3": SQLite rejects or reads these otherwise.
    if (p < end && (IsIdChar(*p) || *p == '.')) return false;

    const std::size_t n = static_cast<std::size_t>(p - start);
    if (!isReal) {
        std::uint64_t u = 0;
        const int c = IntegerClass(start, static_cast<std::size_t>(digitsEnd - start), u);
        if (c == 0 || (c == 3 && negative)) {
            SValue& value = NewValue(EKind::kInteger);
            value.nInteger = c == 3     ? INT64_MIN
                             : negative ? -static_cast<std::int64_t>(u)
                                        : static_cast<std::int64_t>(u);
            return true;
        }
        // Too large for 64 bits: SQLite stores the literal as a real.
    }
    double real = 0;
    if (!RealOf(start, n, real)) return false;
    NewValue(EKind::kReal).dReal = negative ? -real : real;
    return true;
}

bool CInsertFastPath::ParseValue(const char*& p, const char* end) {
    const char c = *p;
    if (c == '\'') {
        const char* start = ++p;
        const char* q = p;
        bool doubled = false;
        while (true) {
            q = static_cast<const char*>(std::memchr(q, '\'', static_cast<std::size_t>(end - q)));
            if (!q) return false;
            if (q + 1 < end && q[1] == '\'') {
                doubled = true;
                q += 2;
                continue;
            }
            break;
        }
        SValue& value = NewValue(EKind::kText);
        if (!doubled) {
            value.pData = start;
            value.nSize = static_cast<std::size_t>(q - start);
        } else {
            // Reserved for the whole statement up front, so the texts already kept stay put.
            const std::size_t at = m_strScratch.size();
            for (const char* s = start; s < q; ++s) {
                m_strScratch.push_back(*s);
                if (*s == '\'') ++s;
            }
            value.pData = m_strScratch.data() + at;
            value.nSize = m_strScratch.size() - at;
        }
        p = q + 1;
        return true;
    }
    if ((c == 'x' || c == 'X') && p + 1 < end && p[1] == '\'') {
        const char* start = p + 2;
        const char* q = static_cast<const char*>(
            std::memchr(start, '\'', static_cast<std::size_t>(end - start)));
        if (!q || (q - start) % 2 != 0) return false;
        const std::size_t at = m_strScratch.size();
        for (const char* s = start; s < q; s += 2) {
            const int hi = HexValue(s[0]);
            const int lo = HexValue(s[1]);
            if (hi < 0 || lo < 0) return false;
            m_strScratch.push_back(static_cast<char>(hi * 16 + lo));
        }
        SValue& value = NewValue(EKind::kBlob);
        value.pData = m_strScratch.data() + at;
        value.nSize = m_strScratch.size() - at;
        p = q + 1;
        return true;
    }
    if (c == 'n' || c == 'N') {
        if (!Keyword(p, end, "NULL")) return false;
        NewValue(EKind::kNull);
        return true;
    }
    if (c == '-' || c == '+' || c == '.' || IsDigit(c)) {
        // Hexadecimal integers are left to SQLite (their overflow is an error there).
        const char* digits = c == '-' || c == '+' ? p + 1 : p;
        if (digits + 1 < end && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
            return false;
        return ParseNumber(p, end);
    }
    return false;
}

bool CInsertFastPath::Parse(const char* sql, std::size_t size) {
    m_nValues = 0;
    m_strScratch.clear();
    m_strScratch.reserve(size);
    if (std::memchr(sql, '\0', size)) return false;  // SQLite reads the text only up to it
    const char* p = sql;
    const char* end = sql + size;
    SkipBlanks(p, end);
    if (!Keyword(p, end, "INSERT")) return false;
    SkipBlanks(p, end);
    if (!Keyword(p, end, "INTO")) return false;
    SkipBlanks(p, end);
    m_pTable = p;
    if (!TableName(p, end)) return false;
    m_nTable = static_cast<std::size_t>(p - m_pTable);
    SkipBlanks(p, end);
    if (!Keyword(p, end, "VALUES")) return false;
    m_nColumns = 0;
    while (true) {
        SkipBlanks(p, end);
        if (p >= end || *p != '(') return false;
        ++p;
        const std::size_t rowStart = m_nValues;
        while (true) {
            SkipBlanks(p, end);
            if (p >= end || !ParseValue(p, end)) return false;
            SkipBlanks(p, end);
            if (p < end && *p == ',') {
                ++p;
                continue;
            }
            if (p < end && *p == ')') {
                ++p;
                break;
            }
            return false;
        }
        const int n = static_cast<int>(m_nValues - rowStart);
        if (m_nColumns == 0) m_nColumns = n;
        if (n != m_nColumns) return false;  // SQLite's own message tells which
        SkipBlanks(p, end);
        if (p < end && *p == ',') {
            ++p;
            continue;
        }
        if (p < end && *p == ';') {
            ++p;
            break;
        }
        return false;
    }
    SkipBlanks(p, end);
    return p == end;
}

sqlite3_stmt* CInsertFastPath::Statement(int nColumns, int nRows) {
    const std::string table(m_pTable, m_nTable);
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it) {
        if (it->nColumns == nColumns && it->nRows == nRows && it->strTable == table) {
            if (it != m_cache.begin()) m_cache.splice(m_cache.begin(), m_cache, it);
            return m_cache.front().pStmt;
        }
    }
    std::string sql = "INSERT INTO " + table + " VALUES ";
    std::string row = "(?";
    for (int i = 1; i < nColumns; ++i) row += ",?";
    row += ")";
    sql.reserve(sql.size() + (row.size() + 1) * static_cast<std::size_t>(nRows));
    for (int r = 0; r < nRows; ++r) {
        if (r) sql += ',';
        sql += row;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(m_db, sql.c_str(), static_cast<int>(sql.size()),
                           SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK ||
        !stmt) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    if (m_cache.size() >= kCachedStatements) {
        sqlite3_finalize(m_cache.back().pStmt);
        m_cache.pop_back();
    }
    m_cache.push_front(SCached{table, nColumns, nRows, stmt});
    return stmt;
}

int CInsertFastPath::StepRows(sqlite3_stmt* stmt, std::size_t first, int nColumns, int nRows,
                              std::string& error) {
    const std::size_t count = static_cast<std::size_t>(nColumns) * static_cast<std::size_t>(nRows);
    // Held from the first bind to the reset: each bind would otherwise lock and unlock the
    // connection's mutex itself (a tenth of the load), and the step's message belongs to this
    // step, which another thread's statement on the connection must not replace in between.
    sqlite3_mutex* mutex = sqlite3_db_mutex(m_db);
    sqlite3_mutex_enter(mutex);
    for (std::size_t i = 0; i < count; ++i) {
        const SValue& v = m_values[first + i];
        const int index = static_cast<int>(i) + 1;
        int rc = SQLITE_OK;
        switch (v.eKind) {
            case EKind::kNull:
                rc = sqlite3_bind_null(stmt, index);
                break;
            case EKind::kInteger:
                rc = sqlite3_bind_int64(stmt, index, v.nInteger);
                break;
            case EKind::kReal:
                rc = sqlite3_bind_double(stmt, index, v.dReal);
                break;
            case EKind::kText:
                // A non-null pointer keeps '' an empty text rather than NULL.
                rc = sqlite3_bind_text(stmt, index, v.nSize ? v.pData : "",
                                       static_cast<int>(v.nSize), SQLITE_STATIC);
                break;
            case EKind::kBlob:
                rc = sqlite3_bind_blob(stmt, index, v.nSize ? v.pData : "",
                                       static_cast<int>(v.nSize), SQLITE_STATIC);
                break;
        }
        if (rc != SQLITE_OK) {
            sqlite3_clear_bindings(stmt);
            sqlite3_mutex_leave(mutex);
            return -1;  // nothing ran: the text's own run tells why (a value over the limit)
        }
    }
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) error = sqlite3_errmsg(m_db);
    sqlite3_reset(stmt);
    sqlite3_mutex_leave(mutex);
    // The bindings stay: every step binds every parameter afresh.
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

CInsertFastPath::EOutcome CInsertFastPath::Run(const char* sql, std::size_t size, int& rc,
                                               std::string& error) {
    if (!Parse(sql, size)) return EOutcome::kNotHandled;
    const int nColumns = m_nColumns;
    const int nRows = static_cast<int>(m_nValues / static_cast<std::size_t>(nColumns));
    const int maxVariables = sqlite3_limit(m_db, SQLITE_LIMIT_VARIABLE_NUMBER, -1);
    if (nColumns > maxVariables) return EOutcome::kNotHandled;
    const int perStatement = std::min(kMaxRowsPerStatement, maxVariables / nColumns);

    if (nRows <= perStatement) {
        // One statement, as the text is: whatever it does, the text would do.
        sqlite3_stmt* stmt = Statement(nColumns, nRows);
        if (!stmt) return EOutcome::kNotHandled;
        std::string message;
        const int result = StepRows(stmt, 0, nColumns, nRows, message);
        if (result == -1) return EOutcome::kNotHandled;
        if (result != SQLITE_OK) {
            rc = result;
            error = message;
            return EOutcome::kFailed;
        }
        ++m_nStored;
        return EOutcome::kStored;
    }

    // Several statements stand for one: a savepoint makes them one again. If any fails, all
    // of them are undone and the text runs on its own, which fails as it must; only a failure
    // that took the transaction with it (a ROLLBACK conflict, a stop) cannot be undone, and
    // the text would have ended the same way.
    if (ExecLoaderSql(m_db, "SAVEPOINT insert_fast_path") != SQLITE_OK)
        return EOutcome::kNotHandled;
    std::string message;
    int result = SQLITE_OK;
    for (int row = 0; row < nRows && result == SQLITE_OK; row += perStatement) {
        const int n = std::min(perStatement, nRows - row);
        sqlite3_stmt* stmt = Statement(nColumns, n);
        result =
            stmt ? StepRows(stmt, static_cast<std::size_t>(row) * nColumns, nColumns, n, message)
                 : -1;
    }
    if (result == SQLITE_OK) {
        ExecLoaderSql(m_db, "RELEASE insert_fast_path");
        ++m_nStored;
        return EOutcome::kStored;
    }
    if (sqlite3_get_autocommit(m_db) || (result != -1 && common::StopRequested())) {
        rc = result == -1 ? SQLITE_ERROR : result;
        error = message;
        return EOutcome::kFailed;
    }
    ExecLoaderSql(m_db, "ROLLBACK TO insert_fast_path");
    ExecLoaderSql(m_db, "RELEASE insert_fast_path");
    return EOutcome::kNotHandled;
}

}  // namespace workspace
