// Running the browser's queries on the open package's Parent.db connection. User-interface
// thread (the connection's error slot is not shared).
#pragma once

#include <string>

#include "common/db_handle.h"

namespace browser {

// Number of rows the query text yields, the count sqlite3_get_table would report, counted
// by SQLite without producing the rows (the text is wrapped as "select count(*) from (...)"),
// so neither time nor memory grows with the rows handed out. 0 when the query fails (for
// example a missing table) or the handle is not open; the error slot receives the message
// or is cleared. countQuery must be one SELECT statement without a trailing semicolon.
int CountRows(DbHandle& handle, const std::string& countQuery);

// Row callback of sqlite3_exec: argc fields, NULL for SQL NULL; return 0 to go on.
using RowCallback = int (*)(void* context, int argc, char** argv, char** names);

// Runs pageQuery with sqlite3_exec, calling callback for each row. On failure the error slot
// receives SQLite's message (it is cleared on success); rows delivered before the failure
// stay delivered. Returns the SQLite result code (SQLITE_MISUSE when the handle is not open).
int RunPageQuery(DbHandle& handle, const std::string& pageQuery, RowCallback callback,
                 void* context);

}  // namespace browser
