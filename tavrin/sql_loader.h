// Loading the two halves of a package's SQL dump into its child.db.
//
// The SQL comes from the package and is untrusted. Both loaders first put the guard of
// GuardPackageConnection on the connection, so a statement that would reach outside the
// database is refused like any failing statement, and loading goes on.
#pragma once

#include <atomic>
#include <string>

#include "common/db_handle.h"

struct sqlite3;

// Hardens a connection that runs package SQL; idempotent, callable from any thread (the
// connection must be in serialized mode, SQLite's default). Refused from then on:
//  - ATTACH and DETACH (and VACUUM INTO, which attaches its target): the attached-database
//    limit is set to 0 as well;
//  - every PRAGMA except the read-only schema queries table_info, table_xinfo, index_list,
//    index_info, index_xinfo and foreign_key_list;
//  - the functions load_extension, fts3_tokenizer, readfile, writefile and edit, and creating
//    virtual tables; extension loading is switched off, defensive mode on, fts3_tokenizer's
//    pointer form off and the schema is not trusted.
// Creating tables and indexes, inserting, updating and querying work as usual. The guard stays
// on the connection until it is closed.
void GuardPackageConnection(sqlite3* db);

// Runs every statement of the table-definitions file at path on handle's connection in one
// transaction. Every ";" ends a statement (also one inside a quoted value or a comment); text
// after the last ";" is never run. The file is read in large steps and one statement at a
// time is held in memory. Each statement's outcome is left in the handle's error slot; a
// failing one is reported on standard output as the statement ("%s") and the message
// ("%s\n"), and the next one runs. A statement longer than the connection's SQL length limit
// (SQLITE_LIMIT_SQL_LENGTH) is dropped unread with "statement too long\n". At the end
// "Table完成！\n" is written.
// Returns 1 when the file was opened and run, 0 when it could not be opened ("打开文件失败！%d\n"
// with the errno value) or the handle has no connection (nothing is run then).
// Call on the thread that owns the handle's error slot (the user-interface thread).
int RunSqlFile(DbHandle& handle, const std::string& path);

// Loads the row-statements file at path on handle's connection in one transaction. The file is
// read as bytes, line by line (LF or CR LF); statements reach SQLite with exactly the bytes of
// the file. A line completes a statement when it ends with ");" and that is the first ");" in
// it: the statement is every pending line since the last completed statement, joined with
// nothing between them, followed by this line. Any other line is kept as pending text (all of
// them, in order). Pending text that no line completes is never run. A failing statement is
// reported on standard output as the statement ("%s") and "%d:%s\n" with the number of the
// line that completed it and SQLite's message; loading goes on. A statement that grows beyond
// the connection's SQL length limit (SQLITE_LIMIT_SQL_LENGTH) is not gathered further: it is
// reported once as "%d:statement too long\n" with the line where it overflowed, and its lines
// up to the one that completes it are dropped. At the end "Inster 结束！\n" is written.
//
// The load runs with the connection's synchronous setting off (child.db is rebuilt from the
// package on every import; the commit still leaves a consistent file) and sets it to full
// when it ends.
//
// Messages are kept in a slot of the loader's own: the handle's error slot is never touched, so
// another thread may use the handle meanwhile. The handle's connection itself may be used by
// other threads at the same time (they see the open transaction's rows).
//
// stop, when given, is polled before every statement: once it reads true no further statement
// starts, the transaction is rolled back and the function returns (pair it with
// sqlite3_interrupt to cut a running statement short; see RequestWorkerStop).
// Returns 1 when the file was opened and loaded (or stopped), 0 when it could not be opened
// ("打开文件失败！%d\n") or the handle has no connection.
int InsertRowStatements(DbHandle& handle, const std::string& path,
                        const std::atomic<bool>* stop = nullptr);
