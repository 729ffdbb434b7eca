// The dot-command interpreter: the shell's own commands (".read FILE", ".separator STRING",
// ".import FILE TABLE" and the rest of the set, see writeHelp).
#pragma once

#include <cstdio>

struct ShellState;

namespace shell {

// Runs one dot-command whose arguments are already split: azArg[0] is the command word
// without its dot, azArg[1..nArg-1] its arguments, used exactly as given (no quote removal,
// no escapes; they are not modified). The first command of the table whose name the word
// abbreviates (case-sensitive, at least the command's minimum length) and whose argument-count
// rule nArg obeys runs; when none does, "Error: unknown command or invalid arguments:
// \"%s\". Enter \".help\" for help\n" goes to standard error. Returns 0 on success, 1 on
// failure (the command has written its message to standard error) and 2 when the command asks
// the script to stop (.quit, .exit). nArg 0 returns 0. ".exit N" with N non-zero ends the
// process with status N, or 255 when N lies outside 1..255 (the system would keep only its low
// 8 bits, and 256 would read as success).
//
// The package import calls, on a state from openShell:
//   runDotCommand(2, {"read", "/prog/table.sql"}, state)
//   runDotCommand(2, {"separator", "\t"}, state)         (a real tab, or ",")
//   runDotCommand(3, {"import", "/path/dump.bak", "table"}, state)
int runDotCommand(int nArg, char** azArg, ShellState& state);

// Runs a whole input line that begins with '.': splits it in place (from its second
// character) with splitArguments, which removes quotes and resolves backslash escapes, then
// continues as runDotCommand. A line without any argument returns 0. line is modified.
int runDotCommandLine(char* line, ShellState& state);

// Writes the help text of the command set to stream.
void writeHelp(std::FILE* stream);

// Runs every statement and dot-command read from stream on state, the dot-commands through
// this table (runScriptWith with runDotCommandLine, tavrin/shell/statement_runner.h). Returns
// 1 if any statement or command failed, else 0.
int runScript(ShellState& state, std::FILE* stream);

}  // namespace shell
