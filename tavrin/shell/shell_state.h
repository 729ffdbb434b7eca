// ShellState: one command-line SQL shell session on a database, and the few process-wide
// values that go with every state.
//
// Threads: a state, the process-wide values below and the connection a state opened are used
// by one thread at a time (the thread that runs the import). Another thread may use SQLite at
// the same time through a connection of its own; the library runs in its serialized mode.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace shell {

// Output modes of formatRow.
enum ShellMode {
    kModeLine = 0,     // one "name = value" line per column
    kModeColumn = 1,   // aligned columns (see width)
    kModeList = 2,     // values joined by the separator
    kModeSemi = 3,     // as list, rows end with ";"
    kModeHtml = 4,     // <TR><TD> rows
    kModeInsert = 5,   // INSERT statements into destTable
    kModeTcl = 6,      // tcl list elements
    kModeCsv = 7,      // comma-separated values
    kModeExplain = 8,  // as column, cells never cut
};

inline constexpr int kShellWidthCount = 100;   // entries of width and actualWidth
inline constexpr size_t kShellShortText = 19;  // longest separator, nullvalue and prompt
inline constexpr size_t kShellOutputNameMax = 259;

// Settings saved by ".explain on" and restored by ".explain off".
struct SavedExplain {
    bool m_bValid = false;
    int m_nMode = kModeList;
    bool m_bHeaders = false;
    int m_aWidth[kShellWidthCount] = {};
};

}  // namespace shell

// One shell session. Created by the caller, prepared by openShell. The state owns its output,
// trace and log streams (closed by closeShell or the destructor unless they are the standard
// streams) and its connection (closed by closeShell or the destructor; a caller that closes
// m_pDb itself with sqlite3_close must set m_pDb to null afterwards).
struct ShellState {
    sqlite3* m_pDb = nullptr;          // null until ensureOpen opens it
    bool m_bEcho = false;              // print dot-command lines and statements before running
    bool m_bStats = false;             // print library statistics after each statement
    int m_nRowCount = 0;               // rows formatted for the current statement
    std::FILE* m_pOut = nullptr;       // rows and printing commands; null means standard output
    std::FILE* m_pTrace = nullptr;     // statement tracing (.trace); null when off
    int m_nDumpErrors = 0;             // error count of a running .dump
    int m_nMode = shell::kModeList;    // ShellMode
    bool m_bWritableSchema = false;    // .dump has written "PRAGMA writable_schema=ON;"
    bool m_bHeaders = false;           // print column names before the first row
    std::string m_strDestTable;        // table of the insert mode; empty when none
    std::string m_strSeparator = "|";  // at most kShellShortText bytes
    int m_aWidth[shell::kShellWidthCount] = {};        // requested widths (negative: right-aligned)
    int m_aActualWidth[shell::kShellWidthCount] = {};  // widths the column mode settled on
    std::string m_strNullValue;  // text for NULL, at most kShellShortText bytes
    shell::SavedExplain m_savedExplain;
    std::string m_strOutputName;                  // empty: standard output; leading '|': a pipe
    std::string m_strDbFileName;                  // database file name given to openShell
    sqlite3_stmt* m_pCurrentStatement = nullptr;  // statement runSql is stepping
    std::FILE* m_pLog = nullptr;                  // library log destination (.log); null when off

    // Not part of a plain shell: when set, .import turns off the rollback journal's file and
    // synchronous writes while it loads (the journal is kept in memory, so a failed import
    // still rolls back) and restores both afterwards. For work databases that are rebuilt
    // from their source anyway. Off by default; a caller's choice, so openShell keeps it.
    bool m_bFastImport = false;
    // Not part of a plain shell either: when set, .import tells it how many bytes of its file
    // it has read, now and then, and stops (rolled back, result 1) when it answers false. For
    // a caller that shows the progress of a load and lets the user stop it; openShell keeps it.
    std::function<bool(std::uint64_t nBytesRead)> m_fnImportProgress;

    ShellState() = default;
    ShellState(const ShellState&) = delete;
    ShellState& operator=(const ShellState&) = delete;
    ~ShellState();

    // The stream rows go to: m_pOut, or standard output when it is unset.
    std::FILE* out() const { return m_pOut ? m_pOut : stdout; }
};

namespace shell {

// Process-wide values shared by every state (one thread at a time, see above).
extern sqlite3* g_pCurrentDb;        // last connection ensureOpen opened (may be closed)
extern bool g_bBail;                 // runScript stops after the first failure
extern bool g_bTimer;                // runScript prints CPU times after each statement
extern const char* g_szShellStatic;  // text of the SQL function shellstatic(); usually null
extern int g_nBreakpoint;            // counted up by .breakpoint
extern std::string g_strMainPrompt;  // console prompts (shown only on an interactive console)
extern std::string g_strContinuePrompt;

// Prepares state: clears every field but m_bFastImport (closing what it owned), sets list mode,
// separator "|", headers off, and opens the database file dbFileName (copied into the state) with
// ensureOpen. Enables URI file names and routes the library log to the state's m_pLog when the
// library has not been initialised yet in this process. Always returns 0; when the database
// cannot be opened the state stays without a connection (ensureOpen has written why).
int openShell(ShellState& state, const char* dbFileName);

// Opens the state's database when it has no connection: read-write, created when missing,
// extension loading enabled, the SQL function shellstatic() registered; the connection becomes
// g_pCurrentDb. On failure writes "Error: unable to open database \"%s\": %s\n" to standard
// error and leaves m_pDb null; the process goes on. No effect when a connection is open.
void ensureOpen(ShellState& state);

// Closes everything the state owns: the connection, an output file or pipe, the trace and log
// files. The state can be prepared again with openShell. Safe to call twice.
void closeShell(ShellState& state);

// Closes the state's current output (file or pipe; the standard streams stay open) and sets
// it back to standard output with an empty output name.
void closeShellOutput(ShellState& state);

}  // namespace shell
