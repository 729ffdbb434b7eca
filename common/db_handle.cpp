#include "common/db_handle.h"

#include <sqlite3.h>

#include <cstdio>
#include <mutex>

#include "common/console_text.h"
#include "common/sql_stop.h"

namespace {

// How long a connection waits for a file another connection has locked for a moment before
// it fails with "database is locked".
constexpr int kLockWaitMs = 2000;

// Run by SQLite on every connection the process opens once HardenEveryConnection ran (also
// those opened elsewhere, read-only counts and exports included): package databases come from
// outside, so no pointer-revealing tokenizer function, no way for their SQL to corrupt the
// file on purpose, and every statement on them can be stopped. A Parent.db is read while
// its later dumps are written (write-ahead log): readers never wait for that writer, but a
// connection opening, closing last or leaving the log locks the file for a moment, which a
// bounded wait rides out instead of failing with "database is locked".
int HardenConnection(sqlite3* db, char**, const sqlite3_api_routines*) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_busy_timeout(db, kLockWaitMs);
    common::InstallStopHandler(db);
    return SQLITE_OK;
}

}  // namespace

namespace common {

void HardenEveryConnection() {
    static std::once_flag once;
    std::call_once(once,
                   [] { sqlite3_auto_extension(reinterpret_cast<void (*)()>(&HardenConnection)); });
}

}  // namespace common

DbHandle::~DbHandle() {
    SetError(nullptr);
    Close();
}

void DbHandle::SetError(char* message) {
    if (errmsg) sqlite3_free(errmsg);
    errmsg = message;
}

void DbHandle::Close() {
    if (db) {
        sqlite3_close(db);
        db = nullptr;
    }
}

int OpenDbHandle(DbHandle& handle, const std::string& utf8Path) {
    common::HardenEveryConnection();
    handle.Close();
    handle.path = utf8Path;
    int rc = sqlite3_open_v2(utf8Path.c_str(), &handle.db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (handle.db) {
        // Package databases come from outside: no pointer-revealing tokenizer function, and no
        // way for their SQL to corrupt the file on purpose.
        sqlite3_db_config(handle.db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
        sqlite3_db_config(handle.db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        common::InstallStopHandler(handle.db);
    }
    if (rc != SQLITE_OK) {
        common::ConsolePrintf("打开数据失败");
    }
    return rc;
}

int CountQueryRows(DbHandle& handle, const std::string& sql) {
    handle.SetError(nullptr);
    if (!handle.db) return 0;
    // SQLite counts without producing the rows, so neither time nor memory grows with them.
    // The line end keeps a trailing "--" comment of the query off the closing parenthesis.
    const std::string count = "select count(*) from (" + sql + "\n)";
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(handle.db, count.c_str(), static_cast<int>(count.size()), &stmt,
                                nullptr);
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

std::optional<std::string> ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                return std::nullopt;
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return std::nullopt;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}
