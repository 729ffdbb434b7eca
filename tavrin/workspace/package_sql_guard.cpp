#include "tavrin/workspace/package_sql_guard.h"

#include <sqlite3.h>

#include <initializer_list>
#include <string>

namespace workspace {

namespace {

// Set on a thread while it prepares the loaders' own settings, which the guard lets through.
thread_local bool t_bTrustedSql = false;

bool IsOneOf(const char* name, std::initializer_list<const char*> names) {
    if (!name) return false;
    for (const char* n : names) {
        if (sqlite3_stricmp(name, n) == 0) return true;
    }
    return false;
}

int PackageSqlAuthorizer(void*, int action, const char* arg1, const char* arg2, const char*,
                         const char*) {
    if (t_bTrustedSql) return SQLITE_OK;
    switch (action) {
        case SQLITE_ATTACH:
        case SQLITE_DETACH:
        case SQLITE_CREATE_VTABLE:
        case SQLITE_CREATE_VIEW:
        case SQLITE_CREATE_TEMP_VIEW:
        case SQLITE_CREATE_TRIGGER:
        case SQLITE_CREATE_TEMP_TRIGGER:
        case SQLITE_TRANSACTION:  // the loaders keep each file in one transaction
        case SQLITE_SAVEPOINT:
            return SQLITE_DENY;
        case SQLITE_PRAGMA:
            return IsOneOf(arg1, {"table_info", "table_xinfo", "index_list", "index_info",
                                  "index_xinfo", "foreign_key_list"})
                       ? SQLITE_OK
                       : SQLITE_DENY;
        case SQLITE_FUNCTION:
            return IsOneOf(arg2,
                           {"load_extension", "fts3_tokenizer", "readfile", "writefile", "edit"})
                       ? SQLITE_DENY
                       : SQLITE_OK;
        default:
            return SQLITE_OK;
    }
}

}  // namespace

CTrustedSqlScope::CTrustedSqlScope(bool bTrusted) : m_bPrevious(t_bTrustedSql) {
    t_bTrustedSql = bTrusted;
}

CTrustedSqlScope::~CTrustedSqlScope() {
    t_bTrustedSql = m_bPrevious;
}

void GuardPackageConnection(sqlite3* db) {
    if (!db) return;
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_set_authorizer(db, PackageSqlAuthorizer, nullptr);
}

void LimitDatabaseSize(sqlite3* db, std::uint64_t maxBytes) {
    if (!db) return;
    sqlite3_stmt* stmt = nullptr;
    std::uint64_t pageSize = 4096;
    if (sqlite3_prepare_v2(db, "PRAGMA main.page_size", -1, &stmt, nullptr) == SQLITE_OK) {
        CTrustedSqlScope trusted;
        if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int64(stmt, 0) > 0)
            pageSize = static_cast<std::uint64_t>(sqlite3_column_int64(stmt, 0));
    }
    sqlite3_finalize(stmt);
    std::uint64_t pages = maxBytes / pageSize + 1;
    if (pages > 0xFFFFFFFEull) pages = 0xFFFFFFFEull;
    const std::string sql = "PRAGMA main.max_page_count = " + std::to_string(pages);
    ExecLoaderSql(db, sql.c_str());
}

int ExecLoaderSql(sqlite3* db, const char* sql) {
    CTrustedSqlScope trusted;
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

}  // namespace workspace
