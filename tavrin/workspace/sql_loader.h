// Loading the two halves of a package's SQL dump into its child.db.
//
// The SQL comes from the package and is untrusted. Both loaders first put the guard of
// GuardPackageConnection (tavrin/workspace/package_sql_guard.h) on the connection, so a statement
// that would reach outside the database is refused like any failing statement, and loading goes on.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "common/db_handle.h"
#include "tavrin/workspace/package_sql_guard.h"

struct sqlite3;

namespace workspace {

// What a load of package SQL left undone, for the caller to tell the user.
struct SLoadReport {
    int nFailed = 0;                  // statements that failed
    std::vector<std::string> tables;  // the tables they name (each once, in order met)
    bool bFull = false;               // the database or disk was full (also the size bound of
                         // LimitDatabaseSize): the load stopped there, nothing committed
    bool bCommitFailed = false;  // the commit failed: nothing of the file is in the database
    bool bStopped = false;  // stopped on request (common::StopRequested); rolled back, not damage
    // True when the database lacks something the file held.
    bool Incomplete() const { return nFailed > 0 || bFull || bCommitFailed; }
};

// The table a statement names: the name after INSERT [OR ...] INTO, CREATE [TEMP] TABLE
// [IF NOT EXISTS] or CREATE [UNIQUE] INDEX ... ON, its quotes (` " [ ]) removed; for any
// other statement its first 40 bytes. Used to tell which tables a failed load left short.
std::string StatementTable(const std::string& statement);

// Runs every statement of the table-definitions file at path on handle's connection in one
// transaction. Every ";" ends a statement (also one inside a quoted value or a comment); text
// after the last ";" is never run. The file is read in large steps and one statement at a
// time is held in memory. Each statement's outcome is left in the handle's error slot; a
// failing one is reported on standard output as the statement ("%s") and the message
// ("%s\n"), and the next one runs. A statement longer than the connection's SQL length limit
// (SQLITE_LIMIT_SQL_LENGTH) is dropped unread with "statement too long\n". At the end
// "Table完成！\n" is written.
//
// A statement that fails with a full database or disk, or after which the transaction is
// gone, ends the run: nothing more runs outside the transaction. Between statements the run
// stops when common::StopRequested (the statement running then is stopped by the handler).
// report, when given, receives what was left undone.
// Returns 1 when the file was opened and run, 0 when it could not be opened ("打开文件失败！%d\n"
// with the errno value) or the handle has no connection (nothing is run then).
// Call on the thread that owns the handle's error slot (the user-interface thread).
int RunSqlFile(DbHandle& handle, const std::string& path, SLoadReport* report = nullptr);

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
// A statement that fails with a full database or disk, or after which the transaction is
// gone, ends the load: the rest would otherwise go in one by one outside the transaction.
//
// stop, when given, is this thread's stop flag for the load (common::CStopScope): once it
// reads true the running statement is cut short, no further statement starts, the
// transaction is rolled back and the function returns. report, when given, receives what was
// left undone.
// Returns 1 when the file was opened and loaded (or stopped), 0 when it could not be opened
// ("打开文件失败！%d\n") or the handle has no connection.
//
// mode kBound stores the INSERT lines the dump conversion writes by binding their values to a
// prepared INSERT (CInsertFastPath, which stores exactly what SQLite stores for the text) and
// has SQLite parse every other statement; kParsed has SQLite parse every statement.
enum class ERowStatements { kBound, kParsed };
int InsertRowStatements(DbHandle& handle, const std::string& path,
                        const std::atomic<bool>* stop = nullptr, SLoadReport* report = nullptr,
                        ERowStatements mode = ERowStatements::kBound);

}  // namespace workspace
