// Running the browser's queries on the open package's Parent.db connection. User-interface
// thread (the connection's error slot is not shared).
#pragma once

#include <string>

#include "common/db_handle.h"

namespace browser {

// Row callback of sqlite3_exec: argc fields, NULL for SQL NULL; return 0 to go on.
using RowCallback = int (*)(void* context, int argc, char** argv, char** names);

// Runs pageQuery with sqlite3_exec, calling callback for each row. On failure the error slot
// receives SQLite's message (it is cleared on success); rows delivered before the failure
// stay delivered. Returns the SQLite result code (SQLITE_MISUSE when the handle is not open).
int RunPageQuery(DbHandle& handle, const std::string& pageQuery, RowCallback callback,
                 void* context);

}  // namespace browser
