#include "tavrin/browser/browser_db.h"

#include <sqlite3.h>

namespace browser {

int CountRows(DbHandle& handle, const std::string& countQuery) {
    handle.SetError(nullptr);
    if (!handle.db) return 0;
    const std::string sql = "select count(*) from (" + countQuery + "\n)";
    sqlite3_stmt* stmt = nullptr;
    int rc =
        sqlite3_prepare_v2(handle.db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK || !stmt) {
        handle.SetError(sqlite3_mprintf("%s", sqlite3_errmsg(handle.db)));
        sqlite3_finalize(stmt);
        return 0;
    }
    int total = 0;
    rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        sqlite3_int64 n = sqlite3_column_int64(stmt, 0);
        total = n > 0x7fffffff ? 0x7fffffff : static_cast<int>(n);
    } else {
        handle.SetError(sqlite3_mprintf("%s", sqlite3_errmsg(handle.db)));
    }
    sqlite3_finalize(stmt);
    return total;
}

int RunPageQuery(DbHandle& handle, const std::string& pageQuery, RowCallback callback,
                 void* context) {
    handle.SetError(nullptr);
    if (!handle.db) return SQLITE_MISUSE;
    char* message = nullptr;
    int rc = sqlite3_exec(handle.db, pageQuery.c_str(), callback, context, &message);
    handle.SetError(message);
    return rc;
}

}  // namespace browser
