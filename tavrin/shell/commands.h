// Handlers of the dot-commands, one per command of the table in dot_commands.cpp. Each takes
// the state and the split arguments (azArg[0] the command word), writes its own messages and
// returns 0 (success), 1 (failure) or 2 (stop the script). Internal to the shell library.
#pragma once

struct ShellState;

namespace shell {

using ShellCommandHandler = int (*)(ShellState&, int, char**);

// Running a script file: dot_commands.cpp, beside the table it runs.
int commandRead(ShellState& state, int nArg, char** azArg);

// Data loading (commands_import.cpp).
int commandSeparator(ShellState& state, int nArg, char** azArg);
int commandImport(ShellState& state, int nArg, char** azArg);

// The command table's help: dot_commands.cpp, beside the table.
int commandHelp(ShellState& state, int nArg, char** azArg);

// Settings (commands_settings.cpp).
int commandBail(ShellState& state, int nArg, char** azArg);
int commandBreakpoint(ShellState& state, int nArg, char** azArg);
int commandEcho(ShellState& state, int nArg, char** azArg);
int commandExit(ShellState& state, int nArg, char** azArg);
int commandExplain(ShellState& state, int nArg, char** azArg);
int commandHeaders(ShellState& state, int nArg, char** azArg);
int commandMode(ShellState& state, int nArg, char** azArg);
int commandModeInsert(ShellState& state, int nArg, char** azArg);
int commandNullValue(ShellState& state, int nArg, char** azArg);
int commandPrompt(ShellState& state, int nArg, char** azArg);
int commandQuit(ShellState& state, int nArg, char** azArg);
int commandStats(ShellState& state, int nArg, char** azArg);
int commandTimeout(ShellState& state, int nArg, char** azArg);
int commandTimer(ShellState& state, int nArg, char** azArg);
int commandWidth(ShellState& state, int nArg, char** azArg);

// Output and streams (commands_output.cpp).
int commandLog(ShellState& state, int nArg, char** azArg);
int commandOutput(ShellState& state, int nArg, char** azArg);
int commandPrint(ShellState& state, int nArg, char** azArg);
int commandShow(ShellState& state, int nArg, char** azArg);
int commandTrace(ShellState& state, int nArg, char** azArg);

// Schema listings and dumps (commands_schema.cpp).
int commandDatabases(ShellState& state, int nArg, char** azArg);
int commandDump(ShellState& state, int nArg, char** azArg);
int commandIndices(ShellState& state, int nArg, char** azArg);
int commandSchema(ShellState& state, int nArg, char** azArg);
int commandTables(ShellState& state, int nArg, char** azArg);

// Library services (commands_library.cpp).
int commandBackup(ShellState& state, int nArg, char** azArg);
int commandLoad(ShellState& state, int nArg, char** azArg);
int commandRestore(ShellState& state, int nArg, char** azArg);
int commandTestControl(ShellState& state, int nArg, char** azArg);
int commandVersion(ShellState& state, int nArg, char** azArg);
int commandVfsName(ShellState& state, int nArg, char** azArg);

}  // namespace shell
