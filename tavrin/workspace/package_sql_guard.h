// The guard on connections that run a package's SQL, and the way past it for the loaders' own
// fixed statements. Plain C++ with SQLite; any thread.
#pragma once

#include <cstdint>

struct sqlite3;

namespace workspace {

// Hardens a connection that runs package SQL; idempotent, callable from any thread (the
// connection must be in serialized mode, SQLite's default). Refused from then on:
//  - ATTACH and DETACH (and VACUUM INTO, which attaches its target): the attached-database
//    limit is set to 0 as well;
//  - every PRAGMA except the read-only schema queries table_info, table_xinfo, index_list,
//    index_info, index_xinfo and foreign_key_list;
//  - the functions load_extension, fts3_tokenizer, readfile, writefile and edit, and creating
//    virtual tables; extension loading is switched off, defensive mode on, fts3_tokenizer's
//    pointer form off and the schema is not trusted;
//  - creating views and triggers: a view or trigger would run package SQL later, inside the
//    browser's and the players' own queries (an endless view named like a session table).
// Creating tables and indexes, inserting, updating and querying work as usual. The guard stays
// on the connection until it is closed.
void GuardPackageConnection(sqlite3* db);

// Bounds the size of db's main database to about maxBytes (PRAGMA max_page_count, which
// package SQL cannot change past the guard): a statement that would grow it further fails
// with SQLITE_FULL, so no package SQL fills the disk. Any thread.
void LimitDatabaseSize(sqlite3* db, std::uint64_t maxBytes);

// Runs one of the loaders' own fixed statements (never package text) on db past the guard of
// GuardPackageConnection, on the calling thread. Returns SQLite's result code.
int ExecLoaderSql(sqlite3* db, const char* sql);

// While it lives, statements prepared and run on the calling thread pass the guard: for the
// loaders' own fixed statements only, never package text. bTrusted false makes it a no-op.
class CTrustedSqlScope {
  public:
    explicit CTrustedSqlScope(bool bTrusted = true);
    ~CTrustedSqlScope();
    CTrustedSqlScope(const CTrustedSqlScope&) = delete;
    CTrustedSqlScope& operator=(const CTrustedSqlScope&) = delete;

  private:
    bool m_bPrevious;
};

}  // namespace workspace
