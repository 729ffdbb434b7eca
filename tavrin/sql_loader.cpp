#include "tavrin/sql_loader.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/file_io.h"
#include "tavrin/line_reader.h"

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

void ReportOpenFailure(int code) {
    std::printf("\xB4\xF2\xBF\xAA\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC\xA3\xA1%d\n",
                code);  // 打开文件失败！
    std::fflush(stdout);
}

void ReportReadFailure(int code) {
    std::printf("\xB6\xC1\xC8\xA1sql\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC%d\n",
                code);  // 读取sql文件失败
    std::fflush(stdout);
}

// Runs the statements of sql[0, size) (sql[size] must be '\0') like sqlite3_exec without a
// callback: each in turn, rows stepped through, stopping at the first failure, whose message
// goes to error. Returns the SQLite result code.
int ExecStatements(sqlite3* db, const char* sql, std::size_t size, std::string& error) {
    error.clear();
    const char* tail = sql;
    const char* end = sql + size;
    while (tail < end && *tail) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, tail, static_cast<int>(end - tail) + 1, &stmt, &tail);
        if (rc != SQLITE_OK) {
            error = sqlite3_errmsg(db);
            return rc;
        }
        if (!stmt) continue;  // only blanks or a comment were left
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            error = sqlite3_errmsg(db);
            sqlite3_finalize(stmt);
            return rc;
        }
        sqlite3_finalize(stmt);
    }
    return SQLITE_OK;
}

// Runs one of the loaders' own statements past the guard; a failure is reported when asked.
void ExecTrusted(sqlite3* db, const char* sql, bool report = false) {
    char* message = nullptr;
    t_bTrustedSql = true;
    sqlite3_exec(db, sql, nullptr, nullptr, &message);
    t_bTrustedSql = false;
    if (message && report) std::printf("%s%s\n", sql, message);
    sqlite3_free(message);
}

// Executes sql on the handle's connection, storing the outcome in its error slot.
void ExecIntoSlot(DbHandle& handle, const char* sql) {
    char* message = nullptr;
    sqlite3_exec(handle.db, sql, nullptr, nullptr, &message);
    handle.SetError(message);
}

// True when a statement of size bytes stays within the connection's SQL length limit; longer
// text would fail anyway, so it is never gathered in memory.
bool FitsSqlLimit(sqlite3* db, std::size_t size) {
    return size <= static_cast<std::size_t>(sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, -1));
}

constexpr const char* kTooLong = "statement too long";

bool EndsStatement(const char* data, std::size_t size) {
    if (size < 2 || data[size - 2] != ')' || data[size - 1] != ';') return false;
    // The ");" at the end must be the first one of the line.
    const char* p = data;
    const char* last = data + size - 2;
    while ((p = static_cast<const char*>(std::memchr(p, ')', last - p))) != nullptr) {
        if (p[1] == ';') return false;
        ++p;
    }
    return true;
}

}  // namespace

void GuardPackageConnection(sqlite3* db) {
    if (!db) return;
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_set_authorizer(db, PackageSqlAuthorizer, nullptr);
}

int RunSqlFile(DbHandle& handle, const std::string& path) {
    platform::CFileReader file;
    if (!file.Open(path)) {
        ReportOpenFailure(file.ErrorCode());
        return 0;
    }
    if (!handle.db) {
        ReportOpenFailure(0);
        return 0;
    }
    GuardPackageConnection(handle.db);
    ExecIntoSlot(handle, "begin transaction");

    constexpr std::size_t kChunk = 1 << 20;
    std::unique_ptr<char[]> chunk(new char[kChunk]);
    std::string statement;
    bool discarding = false;  // inside a statement that outgrew the length limit
    for (;;) {
        std::int64_t n = file.Read(chunk.get(), kChunk);
        if (n < 0) ReportReadFailure(file.ErrorCode());
        if (n <= 0) break;
        const char* p = chunk.get();
        const char* end = p + n;
        while (p < end) {
            const char* semi = static_cast<const char*>(std::memchr(p, ';', end - p));
            std::size_t piece = static_cast<std::size_t>((semi ? semi + 1 : end) - p);
            if (!discarding && !FitsSqlLimit(handle.db, statement.size() + piece)) {
                std::printf("%s\n", kTooLong);
                statement.clear();
                discarding = true;
            }
            if (!semi) {
                if (!discarding) statement.append(p, end);
                break;
            }
            p = semi + 1;
            if (discarding) {
                discarding = false;
                continue;
            }
            statement.append(p - piece, p);
            ExecIntoSlot(handle, statement.c_str());
            if (handle.errmsg) {
                std::fwrite(statement.data(), 1, statement.size(), stdout);
                std::printf("%s\n", handle.errmsg);
            }
            statement.clear();
        }
    }
    ExecIntoSlot(handle, "commit transaction");
    // A failed commit loses everything above; say so rather than report success silently.
    if (handle.errmsg) std::printf("commit transaction%s\n", handle.errmsg);
    std::printf("Table\xCD\xEA\xB3\xC9\xA3\xA1\n");  // Table完成！
    std::fflush(stdout);
    return 1;
}

int InsertRowStatements(DbHandle& handle, const std::string& path, const std::atomic<bool>* stop) {
    platform::CFileReader file;
    if (!file.Open(path)) {
        ReportOpenFailure(file.ErrorCode());
        return 0;
    }
    sqlite3* db = handle.db;
    if (!db) {
        ReportOpenFailure(0);
        return 0;
    }
    GuardPackageConnection(db);
    // child.db is rebuilt from the package on every import, so the load needs no syncs to the
    // disk; the commit still leaves a consistent file. Put back when the load ends.
    ExecTrusted(db, "pragma synchronous = off");
    ExecTrusted(db, "begin transaction");

    CLineReader lines(file);
    CLineReader::Line line;
    std::string pending;
    std::string error;  // the loader's own error slot
    int lineNumber = 0;
    bool stopped = false;
    bool discarding = false;  // inside a statement that outgrew the length limit
    while (lines.Next(line)) {
        ++lineNumber;
        bool ends = EndsStatement(line.pData, line.nSize);
        if (!discarding && !FitsSqlLimit(db, pending.size() + line.nSize)) {
            std::printf("%d:%s\n", lineNumber, kTooLong);
            pending.clear();
            pending.shrink_to_fit();
            discarding = true;
        }
        if (discarding) {
            discarding = !ends;
            continue;
        }
        if (!ends) {
            pending.append(line.pData, line.nSize);
            continue;
        }
        if (stop && stop->load(std::memory_order_acquire)) {
            stopped = true;
            break;
        }
        const char* sql = line.pData;
        std::size_t size = line.nSize;
        if (!pending.empty()) {
            pending.append(line.pData, line.nSize);
            sql = pending.c_str();
            size = pending.size();
        }
        if (ExecStatements(db, sql, size, error) != SQLITE_OK) {
            if (stop && stop->load(std::memory_order_acquire)) {
                stopped = true;
                break;
            }
            std::fwrite(sql, 1, size, stdout);
            std::printf("%d:%s\n", lineNumber, error.c_str());
        }
        pending.clear();
    }
    if (lines.Failed()) ReportReadFailure(file.ErrorCode());
    if (stopped) {
        // An interrupted statement may already have rolled the transaction back.
        if (!sqlite3_get_autocommit(db)) ExecTrusted(db, "rollback transaction");
    } else {
        ExecTrusted(db, "commit transaction", true);
    }
    ExecTrusted(db, "pragma synchronous = full");
    std::printf("Inster \xBD\xE1\xCA\xF8\xA3\xA1\n");  // Inster 结束！
    std::fflush(stdout);
    return 1;
}
