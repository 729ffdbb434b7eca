// Owning handles of a raw SQLite connection and statement for the session index and its
// search, which open their own connections (not DbHandle's). Not copyable; any thread that
// owns them.
#pragma once

#include <string>

#include <sqlite3.h>

namespace session_index {

// Closes the connection (if any) when it goes.
struct Connection {
    sqlite3* p = nullptr;
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { sqlite3_close_v2(p); }
};

// Finalizes the statement (if any) when it goes or is prepared again.
struct Statement {
    sqlite3_stmt* p = nullptr;
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(p); }
    // False when sql does not prepare (p is then null).
    bool Prepare(sqlite3* db, const std::string& sql) {
        sqlite3_finalize(p);
        p = nullptr;
        return sqlite3_prepare_v2(db, sql.c_str(), -1, &p, nullptr) == SQLITE_OK;
    }
};

}  // namespace session_index
