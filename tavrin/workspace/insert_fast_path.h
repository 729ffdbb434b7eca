// The row statements of a package's SQL dump, stored by binding their values instead of
// having SQLite parse every literal. The dump conversion writes one INSERT per line:
//
//   INSERT INTO `table` VALUES (1,'text',NULL,-2.5,X'0aff'),(2,'it''s',...);
//
// CInsertFastPath recognises exactly that form (keywords in any case, blanks between tokens,
// a backquoted, double-quoted, bracketed or bare table name; integer, real, string, NULL and
// X'..' blob literals, a sign directly before a number) and runs it as a prepared multi-row
// INSERT with the values bound. Whatever it does not fully recognise (a column list, hex or
// TRUE/FALSE literals, comments, expressions, several statements, a zero byte, rows of unequal
// length, a statement its prepared form cannot run) it leaves to the caller, who runs the text
// with SQLite as before.
//
// What it stores is what SQLite stores for the same text: the same rows in the same order,
// with the same values, types and bytes (the column affinities apply to bound values exactly
// as to literals; a real literal and an integer literal too large for 64 bits are converted by
// SQLite's own text-to-real conversion), and a statement that fails, fails with SQLite's
// message for it and leaves what the plain statement would leave.
//
// The connection keeps its guard and stop handler: the prepared INSERT passes the package
// authorizer like the statement text, and the stop handler interrupts it like any statement.
//
// One object serves one connection on one thread (the loader's), for one load; other threads
// may use the connection meanwhile. Destroy it before the connection is closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace workspace {

class CInsertFastPath {
  public:
    enum class EOutcome {
        kStored,      // the statement ran and succeeded
        kNotHandled,  // not recognised, or undone: nothing of it is in the database; run the
                      // text with SQLite
        kFailed,      // it ran and failed exactly as the text would have: rc and message set
    };

    explicit CInsertFastPath(sqlite3* db);
    ~CInsertFastPath();
    CInsertFastPath(const CInsertFastPath&) = delete;
    CInsertFastPath& operator=(const CInsertFastPath&) = delete;

    // Runs the statement text sql[0, size) (sql[size] must be '\0'). On kFailed, rc is the
    // SQLite result code and error its message; otherwise both are left alone.
    EOutcome Run(const char* sql, std::size_t size, int& rc, std::string& error);

    // Statements stored through binding so far (for tests and measurement).
    std::uint64_t StoredCount() const { return m_nStored; }

  private:
    enum class EKind : unsigned char { kNull, kInteger, kReal, kText, kBlob };
    struct SValue {
        EKind eKind;
        const char* pData;  // text or blob bytes (kText, kBlob)
        std::size_t nSize;
        std::int64_t nInteger;
        double dReal;
    };
    struct SCached {
        std::string strTable;  // the name token as written
        int nColumns;
        int nRows;
        sqlite3_stmt* pStmt;
    };

    SValue& NewValue(EKind eKind) {
        if (m_nValues == m_values.size()) m_values.resize(m_values.size() * 2 + 64);
        SValue& value = m_values[m_nValues++];
        value.eKind = eKind;
        return value;
    }
    // Cuts the text into m_values[0, m_nValues); false when it is not of the form above.
    bool Parse(const char* sql, std::size_t size);
    bool ParseValue(const char*& p, const char* end);
    bool ParseNumber(const char*& p, const char* end);
    // SQLite's own conversion of a numeric literal's text to a real.
    bool RealOf(const char* text, std::size_t size, double& value);
    // The prepared INSERT of nRows rows into the parsed table; null when it cannot be prepared.
    sqlite3_stmt* Statement(int nColumns, int nRows);
    // Binds nRows rows starting at value index first and steps; SQLite's result code.
    int StepRows(sqlite3_stmt* stmt, std::size_t first, int nColumns, int nRows,
                 std::string& error);

    sqlite3* m_db;
    sqlite3_stmt* m_pRealOf = nullptr;
    std::list<SCached> m_cache;    // most recently used first
    std::vector<SValue> m_values;  // grown, never shrunk: the first m_nValues are this statement's
    std::size_t m_nValues = 0;
    std::string m_strScratch;  // unescaped strings and decoded blobs of the statement
    const char* m_pTable = nullptr;
    std::size_t m_nTable = 0;
    int m_nColumns = 0;
    std::uint64_t m_nStored = 0;
};

}  // namespace workspace
