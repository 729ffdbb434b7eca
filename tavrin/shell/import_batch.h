// The inserts of .import, several rows to a statement: a multi-row INSERT ... VALUES costs
// SQLite far less per row than a statement per row (the step, the transaction check, the
// cursor and the reset are paid once per batch), and stores the same rows in the same order.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tavrin/shell/import_fields.h"

namespace shell {

class CImportBatch {
  public:
    // db stays open and is used by one thread while the batch lives. table is the table name
    // as .import was given it (put into the SQL as it stands).
    CImportBatch(sqlite3* db, const char* table, int nColumns);
    ~CImportBatch();
    CImportBatch(const CImportBatch&) = delete;
    CImportBatch& operator=(const CImportBatch&) = delete;

    // Prepares the single-row insert, and the batch insert when the connection's limit on
    // parameters allows one. False when the single-row insert cannot be prepared; Error()
    // says why, and no row may be added.
    bool Prepare();
    const std::string& Error() const { return m_strError; }

    // Takes one row of nColumns texts, copied, so the caller may reuse their bytes; runs the
    // batch when it is full (rows holding more than a megabyte between them go in one by
    // one at once, so memory stays bounded whatever the lines' length). False when that insert
    // failed: sqlite3_errmsg(db) says why, and the rows held are dropped.
    bool Add(const SImportField* texts);

    // Inserts the rows held, one statement each and in order, so that the first failing row
    // fails as it would alone. False on the first failure (sqlite3_errmsg(db) says why); the
    // rows after it are dropped.
    bool Flush();

  private:
    bool Run(sqlite3_stmt* stmt, std::size_t firstText, int rows);

    sqlite3* m_pDb;
    std::string m_strTable;
    std::string m_strError;
    int m_nColumns;
    int m_nBatchRows = 1;
    sqlite3_stmt* m_pOne = nullptr;
    sqlite3_stmt* m_pBatch = nullptr;
    std::vector<char> m_bytes;            // the texts of the rows held, one after another
    std::vector<std::size_t> m_textEnds;  // end of each text in m_bytes
    int m_nHeld = 0;
};

}  // namespace shell
