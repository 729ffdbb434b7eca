#include "tavrin/browser/browser_db.h"

#include <sqlite3.h>

namespace browser {

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
