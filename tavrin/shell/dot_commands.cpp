#include "tavrin/shell/dot_commands.h"

#include <cstring>

#include "platform/cpu_times.h"
#include "tavrin/shell/arguments.h"
#include "tavrin/shell/commands.h"
#include "tavrin/shell/line_input.h"
#include "tavrin/shell/statement_runner.h"

namespace shell {

namespace {

// One command of the table. The typed word must be a prefix of name of at least
// minLength characters, and the argument count (command word included) must lie in
// [minArgs, maxArgs]; maxArgs 0 means no upper bound. usage and help feed .help: help holds
// the description lines separated by '\n'; a null usage keeps the row out of the help.
struct ShellCommand {
    const char* name;
    int minLength;
    int minArgs;
    int maxArgs;
    ShellCommandHandler handler;
    const char* usage;
    const char* help;
};

constexpr int kAny = 0;

// In dispatch order: the first row that matches runs, so the order decides abbreviations
// (".e" is .exit unless an argument follows, ".i X" is .indices, ".i X Y" is .import).
const ShellCommand kCommands[] = {
    {"backup", 3, 1, kAny, commandBackup, ".backup ?DB? FILE",
     "Backup DB (default \"main\") to FILE"},
    {"bail", 3, 2, 2, commandBail, ".bail ON|OFF", "Stop after hitting an error.  Default OFF"},
    {"breakpoint", 3, 1, kAny, commandBreakpoint, nullptr, nullptr},
    {"databases", 2, 1, 1, commandDatabases, ".databases",
     "List names and files of attached databases"},
    {"dump", 1, 1, 2, commandDump, ".dump ?TABLE? ...",
     "Dump the database in an SQL text format\n"
     "If TABLE specified, only dump tables matching\n"
     "LIKE pattern TABLE."},
    {"echo", 1, 2, 2, commandEcho, ".echo ON|OFF", "Turn command echo on or off"},
    {"exit", 1, 1, kAny, commandExit, ".exit", "Exit this program"},
    {"explain", 1, 1, 2, commandExplain, ".explain ?ON|OFF?",
     "Turn output mode suitable for EXPLAIN on or off.\n"
     "With no args, it turns EXPLAIN on."},
    {"headers", 1, 2, 2, commandHeaders, ".header(s) ON|OFF", "Turn display of headers on or off"},
    {"help", 1, 1, kAny, commandHelp, ".help", "Show this message"},
    {"import", 1, 3, 3, commandImport, ".import FILE TABLE", "Import data from FILE into TABLE"},
    {"indices", 1, 1, 2, commandIndices, ".indices ?TABLE?",
     "Show names of all indices\n"
     "If TABLE specified, only show indices for tables\n"
     "matching LIKE pattern TABLE."},
    {"load", 1, 2, kAny, commandLoad, ".load FILE ?ENTRY?", "Load an extension library"},
    {"log", 1, 2, kAny, commandLog, ".log FILE|off",
     "Turn logging on or off.  FILE can be stderr/stdout"},
    {"mode", 1, 2, 2, commandMode, ".mode MODE ?TABLE?",
     "Set output mode where MODE is one of:\n"
     "csv      Comma-separated values\n"
     "column   Left-aligned columns.  (See .width)\n"
     "html     HTML <table> code\n"
     "insert   SQL insert statements for TABLE\n"
     "line     One value per line\n"
     "list     Values delimited by .separator string\n"
     "tabs     Tab-separated values\n"
     "tcl      TCL list elements"},
    {"mode", 1, 3, 3, commandModeInsert, nullptr, nullptr},
    {"nullvalue", 1, 2, 2, commandNullValue, ".nullvalue STRING",
     "Use STRING in place of NULL values"},
    {"output", 1, 2, 2, commandOutput, ".output FILENAME", "Send output to FILENAME"},
    {"print", 3, 1, kAny, commandPrint, ".print STRING...", "Print literal STRING"},
    {"prompt", 1, 2, 3, commandPrompt, ".prompt MAIN CONTINUE", "Replace the standard prompts"},
    {"quit", 1, 1, 1, commandQuit, ".quit", "Exit this program"},
    {"read", 3, 2, 2, commandRead, ".read FILENAME", "Execute SQL in FILENAME"},
    {"restore", 3, 2, 3, commandRestore, ".restore ?DB? FILE",
     "Restore content of DB (default \"main\") from FILE"},
    {"schema", 1, 1, 2, commandSchema, ".schema ?TABLE?",
     "Show the CREATE statements\n"
     "If TABLE specified, only show tables matching\n"
     "LIKE pattern TABLE."},
    {"separator", 1, 2, 2, commandSeparator, ".separator STRING",
     "Change separator used by output mode and .import"},
    {"show", 1, 1, 1, commandShow, ".show", "Show the current values for various settings"},
    {"stats", 1, 2, 2, commandStats, ".stats ON|OFF", "Turn stats on or off"},
    {"tables", 2, 1, 2, commandTables, ".tables ?TABLE?",
     "List names of tables\n"
     "If TABLE specified, only list tables matching\n"
     "LIKE pattern TABLE."},
    {"testctrl", 8, 2, kAny, commandTestControl, nullptr, nullptr},
    {"timeout", 5, 2, 2, commandTimeout, ".timeout MS",
     "Try opening locked tables for MS milliseconds"},
    {"timer", 5, 2, 2, commandTimer, ".timer ON|OFF", "Turn the CPU timer measurement on or off"},
    {"trace", 1, 2, kAny, commandTrace, ".trace FILE|off",
     "Output each SQL statement as it is run"},
    {"version", 1, 1, kAny, commandVersion, nullptr, nullptr},
    {"vfsname", 1, 1, kAny, commandVfsName, ".vfsname ?AUX?", "Print the name of the VFS stack"},
    {"width", 1, 2, kAny, commandWidth, ".width NUM1 NUM2 ...",
     "Set column widths for \"column\" mode"},
};

// .timer needs the process's CPU times; without them it is neither run nor listed.
bool isAvailable(const ShellCommand& command) {
    return command.handler != commandTimer || platform::CpuTimesAvailable();
}

void writeHelpEntry(std::FILE* stream, const char* usage, const char* help) {
    std::fprintf(stream, "%-23s", usage);
    const char* line = help;
    bool first = true;
    while (line) {
        const char* end = std::strchr(line, '\n');
        int length = end ? static_cast<int>(end - line) : static_cast<int>(std::strlen(line));
        std::fprintf(stream, "%s%.*s\n", first ? "" : "                         ", length, line);
        first = false;
        line = end ? end + 1 : nullptr;
    }
}

}  // namespace

void writeHelp(std::FILE* stream) {
    const ShellCommand* timer = nullptr;
    for (const ShellCommand& command : kCommands) {
        if (!command.usage || !isAvailable(command)) continue;
        if (command.handler == commandTimer) {
            timer = &command;  // listed last
            continue;
        }
        writeHelpEntry(stream, command.usage, command.help);
        if (command.handler == commandOutput) {
            writeHelpEntry(stream, ".output stdout", "Send output to the screen");
        }
    }
    if (timer) writeHelpEntry(stream, timer->usage, timer->help);
}

int runDotCommand(int nArg, char** azArg, ShellState& state) {
    if (nArg <= 0) return 0;
    const char* word = azArg[0];
    int length = static_cast<int>(std::strlen(word));
    if (length > 0) {
        for (const ShellCommand& command : kCommands) {
            if (command.name[0] != word[0]) continue;
            if (std::strncmp(word, command.name, static_cast<size_t>(length)) != 0) continue;
            if (static_cast<int>(std::strlen(command.name)) < length) continue;
            if (length < command.minLength) continue;
            if (nArg < command.minArgs) continue;
            if (command.maxArgs != kAny && nArg > command.maxArgs) continue;
            if (!isAvailable(command)) continue;
            return command.handler(state, nArg, azArg);
        }
    }
    std::fprintf(stderr,
                 "Error: unknown command or invalid arguments:  \"%s\". Enter \".help\" for "
                 "help\n",
                 word);
    return 1;
}

int runDotCommandLine(char* line, ShellState& state) {
    if (!line || line[0] == '\0') return 0;
    char* azArg[kMaxArguments];
    int nArg = splitArguments(line + 1, azArg);
    if (nArg == 0) return 0;
    return runDotCommand(nArg, azArg, state);
}

int runScript(ShellState& state, std::FILE* stream) {
    return runScriptWith(state, stream, runDotCommandLine);
}

// .read and .help run the command table itself, so they live beside it.
int commandRead(ShellState& state, int, char** azArg) {
    // Scripts may read scripts. A script that reads itself would recurse until the stack runs
    // out, and one that reads itself twice would take 2^depth runs, so both the depth and the
    // number of scripts run under one outermost .read are bounded. Each bound is reported once
    // per outermost .read; every .read beyond it fails.
    constexpr int kMaxReadDepth = 64;
    constexpr int kMaxNestedReads = 1000;
    thread_local int s_nDepth = 0;
    thread_local int s_nNestedReads = 0;
    thread_local bool s_bDepthReported = false;
    thread_local bool s_bCountReported = false;
    if (s_nDepth == 0) {
        s_nNestedReads = 0;
        s_bDepthReported = s_bCountReported = false;
    }
    if (s_nDepth >= kMaxReadDepth) {
        if (!s_bDepthReported) {
            std::fprintf(stderr, "Error: .read nested more than %d deep: \"%s\"\n", kMaxReadDepth,
                         azArg[1]);
        }
        s_bDepthReported = true;
        return 1;
    }
    if (s_nDepth > 0 && ++s_nNestedReads > kMaxNestedReads) {
        if (!s_bCountReported) {
            std::fprintf(stderr, "Error: more than %d nested .read commands: \"%s\"\n",
                         kMaxNestedReads, azArg[1]);
        }
        s_bCountReported = true;
        return 1;
    }
    std::FILE* in = shell::openInputFile(azArg[1]);
    if (!in) return 1;
    ++s_nDepth;
    int rc = runScript(state, in);
    --s_nDepth;
    if (std::ferror(in)) {
        std::fprintf(stderr, "Error: cannot read \"%s\"\n", azArg[1]);
        rc = 1;
    }
    std::fclose(in);
    return rc;
}

int commandHelp(ShellState&, int, char**) {
    writeHelp(stderr);
    return 0;
}

}  // namespace shell
