// DbHandle: one open SQLite database of a package, shared by both programs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

// One SQLite database: the UTF-8 path it was opened with, its connection and the message of
// the last exec or get-table call made through it. Closing the connection leaves the record.
// Not thread-safe: one thread uses a handle's error slot at a time.
struct DbHandle {
    std::string path;        // UTF-8 file name
    sqlite3* db = nullptr;   // null until opened
    char* errmsg = nullptr;  // owned by SQLite (sqlite3_free); null when the last call succeeded

    DbHandle() = default;
    DbHandle(const DbHandle&) = delete;
    DbHandle& operator=(const DbHandle&) = delete;
    ~DbHandle();

    // Replaces the error slot's message (freeing the old one with sqlite3_free).
    void SetError(char* message);
    // Closes the connection if open (sqlite3_close); the record stays usable for reopening.
    void Close();
};

// Stores path in the handle and opens it read-write, creating the file if needed. Reopening an
// open handle closes its old connection first. On failure writes "打开数据失败" (GBK, no line
// end) to standard output and returns the SQLite result code; 0 on success. The handle then
// keeps whatever connection SQLite returned (queries on it fail). Every connection is opened
// with defensive mode on, the fts3_tokenizer pointer form off, a lock wait of 2 s and the stop
// handler of common/sql_stop.h installed (HardenEveryConnection). Any thread may open a handle;
// the connection is in SQLite's serialized mode, so two threads may use it at once.
int OpenDbHandle(DbHandle& handle, const std::string& utf8Path);

// Number of result rows that sqlite3_get_table would report for sql on the handle's
// connection, counted by SQLite without producing the rows (sql is wrapped as
// "select count(*) from (...)"), so neither time nor memory grows with the result. sql must be
// one SELECT statement without a trailing semicolon. 0 when it fails (for example a missing
// table or several statements) or the handle is not open; the error slot receives the
// message of a failure or is cleared.
int CountQueryRows(DbHandle& handle, const std::string& sql);

// From now on every SQLite connection the process opens gets what OpenDbHandle gives its own:
// defensive mode, no fts3_tokenizer pointer form, a lock wait of 2 s, and the stop handler of
// common/sql_stop.h. OpenDbHandle calls it; code that opens package databases otherwise (the shell
// engine) calls it first. Idempotent, thread-safe.
namespace common {
void HardenEveryConnection();
}  // namespace common

// UTF-16 text to UTF-8, the encoding SQLite expects for file names. Empty optional when the
// text cannot be converted (an unpaired surrogate).
std::optional<std::string> ToUtf8(std::u16string_view text);
