// The shell-command engine: a command-line SQL shell's engine, used in-process.
//
// Typical use (the package import):
//   ShellState state;                                   // one per import
//   shell::openShell(state, "/path/Parent.db");         // 0; state.m_pDb null on failure
//   state.m_bFastImport = true;                         // optional, for rebuildable databases
//   char* read[] = {(char*)"read", (char*)"/prog/table.sql"};
//   shell::runDotCommand(2, read, state);               // 0 ok, 1 failed (message written)
//   char* sep[] = {(char*)"separator", (char*)"\t"};
//   shell::runDotCommand(2, sep, state);
//   char* imp[] = {(char*)"import", (char*)"/path/dump.bak", (char*)"table"};
//   shell::runDotCommand(3, imp, state);
//   shell::closeShell(state);                           // or let the destructor do it
//
// Threads: a state and the engine's process-wide values are used by one thread at a time.
// Messages go to standard error (English, as a command-line shell writes them); rows and the
// printing commands go to the state's output, standard output unless .output chose another.
#pragma once

#include "tavrin/shell/arguments.h"
#include "tavrin/shell/dot_commands.h"
#include "tavrin/shell/line_input.h"
#include "tavrin/shell/row_format.h"
#include "tavrin/shell/shell_state.h"
#include "tavrin/shell/statement_runner.h"
