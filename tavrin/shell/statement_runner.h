// Running SQL text and scripts on a shell state.
#pragma once

#include <cstdio>

struct sqlite3;
struct sqlite3_stmt;
struct ShellState;

namespace shell {

// Row handler: (state, column count, values, names, types) -> 0 to go on, non-zero to stop.
using ShellRowHandler = int (*)(ShellState*, int, char**, char**, int*);

// Executes every statement of sql on db in order, passing each result row to handler (when
// not null) and stopping at the first failure. On failure *errorText (when errorText is not
// null) receives a copy of the library's message, to be released with sqlite3_free; it is
// null otherwise. Echo, stats and the current statement follow state (which may be null).
// Returns the library's result code, 0 for success. A null db gives SQLITE_MISUSE.
int runSql(sqlite3* db, const char* sql, ShellRowHandler handler, ShellState* state,
           char** errorText);

// Runs a dot-command line, which it may modify; returns 0, 1 or 2 as runDotCommandLine does.
using ShellDotLineRunner = int (*)(char* line, ShellState& state);

// Runs every statement and dot-command read from stream on state: lines that begin with '.'
// (when no statement is pending) go to runDotLine, everything else is collected into
// statements that run when complete. Failures are reported on standard error ("Error: near
// line %d: ..."); with g_bBail set the first one ends the run. A dot-command result of 2 ends
// the run. Returns 1 if any statement or command failed, else 0. The shell's own scripts run
// through runScript (dot_commands.h), which hands it the command table.
int runScriptWith(ShellState& state, std::FILE* stream, ShellDotLineRunner runDotLine);

// True when text holds only whitespace, closed /* */ comments and -- comments.
bool isBlankSql(const char* text);

// True when line is, after leading whitespace, "/" or "go" (any case) followed by blank text.
bool isTerminatorLine(const char* line);

// Writes the library's statistics for state's connection and stmt (when not null) to state's
// output, as .stats asks.
void writeStatistics(ShellState& state, sqlite3_stmt* stmt);

}  // namespace shell
