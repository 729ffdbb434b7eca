// Commands that choose where output, tracing and the library log go, and that print.
#include <sqlite3.h>

#include <cstring>
#include <string>

#include "platform/command_pipe.h"
#include "tavrin/shell/commands.h"
#include "tavrin/shell/row_format.h"
#include "tavrin/shell/shell_state.h"

namespace shell {

namespace {

const char* const kModeNames[] = {"line",   "column", "list", "semi",   "html",
                                  "insert", "tcl",    "csv",  "explain"};

const char* onOff(bool value) {
    return value ? "on" : "off";
}

// Opens the destination of .log and .trace: "stdout", "stderr", "off" (null) or a file for
// binary writing. Writes "Error: cannot open \"%s\"\n" when the file cannot be opened.
std::FILE* openLogStream(const char* name, bool* failed) {
    *failed = false;
    if (std::strcmp(name, "stdout") == 0) return stdout;
    if (std::strcmp(name, "stderr") == 0) return stderr;
    if (std::strcmp(name, "off") == 0) return nullptr;
    std::FILE* stream = std::fopen(name, "wb");
    if (!stream) {
        std::fprintf(stderr, "Error: cannot open \"%s\"\n", name);
        *failed = true;
    }
    return stream;
}

void replaceStream(std::FILE*& slot, std::FILE* stream) {
    if (slot && slot != stdout && slot != stderr) std::fclose(slot);
    slot = stream;
}

void traceStatement(void* arg, const char* sql) {
    std::FILE* stream = static_cast<ShellState*>(arg)->m_pTrace;
    if (!stream) return;
    std::fprintf(stream, "%s\n", sql);
    std::fflush(stream);
}

}  // namespace

int commandLog(ShellState& state, int, char** azArg) {
    bool failed = false;
    std::FILE* stream = openLogStream(azArg[1], &failed);
    replaceStream(state.m_pLog, stream);
    return failed ? 1 : 0;
}

int commandTrace(ShellState& state, int, char** azArg) {
    ensureOpen(state);
    bool failed = false;
    std::FILE* stream = openLogStream(azArg[1], &failed);
    replaceStream(state.m_pTrace, stream);
    if (!state.m_pDb) return 1;
    if (state.m_pTrace) {
        sqlite3_trace(state.m_pDb, traceStatement, &state);
    } else {
        sqlite3_trace(state.m_pDb, nullptr, nullptr);
    }
    return failed ? 1 : 0;
}

int commandOutput(ShellState& state, int, char** azArg) {
    const char* name = azArg[1];
    closeShellOutput(state);
    if (std::strcmp(name, "off") == 0) return 1;  // standard output again, counted as failure
    if (std::strcmp(name, "stdout") == 0) {
        state.m_pOut = stdout;
        state.m_strOutputName = "stdout";
        return 0;
    }
    if (std::strcmp(name, "stderr") == 0) {
        state.m_pOut = stderr;
        state.m_strOutputName = "stderr";
        return 0;
    }
    if (name[0] == '|') {
        std::fflush(nullptr);  // what went out before must not follow the command's output
        std::FILE* pipe = platform::OpenCommandPipe(name + 1);
        if (!pipe) {
            std::fprintf(stderr, "Error: cannot open pipe \"%s\"\n", name + 1);
            return 1;
        }
        state.m_pOut = pipe;
    } else {
        std::FILE* file = std::fopen(name, "wb");
        if (!file) {
            std::fprintf(stderr, "Error: cannot write to \"%s\"\n", name);
            return 1;
        }
        state.m_pOut = file;
    }
    state.m_strOutputName = std::string(name).substr(0, kShellOutputNameMax);
    return 0;
}

int commandPrint(ShellState& state, int nArg, char** azArg) {
    std::FILE* out = state.out();
    for (int i = 1; i < nArg; ++i) {
        if (i > 1) std::fputc(' ', out);
        std::fputs(azArg[i], out);
    }
    std::fputc('\n', out);
    return 0;
}

int commandShow(ShellState& state, int, char**) {
    std::FILE* out = state.out();
    std::fprintf(out, "%9.9s: %s\n", "echo", onOff(state.m_bEcho));
    std::fprintf(out, "%9.9s: %s\n", "explain", onOff(state.m_savedExplain.m_bValid));
    std::fprintf(out, "%9.9s: %s\n", "headers", onOff(state.m_bHeaders));
    int mode = state.m_nMode >= 0 && state.m_nMode <= kModeExplain ? state.m_nMode : kModeList;
    std::fprintf(out, "%9.9s: %s\n", "mode", kModeNames[mode]);
    std::fprintf(out, "%9.9s: ", "nullvalue");
    writeCString(out, state.m_strNullValue.c_str());
    std::fputc('\n', out);
    std::fprintf(out, "%9.9s: %s\n", "output",
                 state.m_strOutputName.empty() ? "stdout" : state.m_strOutputName.c_str());
    std::fprintf(out, "%9.9s: ", "separator");
    writeCString(out, state.m_strSeparator.c_str());
    std::fputc('\n', out);
    std::fprintf(out, "%9.9s: %s\n", "stats", onOff(state.m_bStats));
    std::fprintf(out, "%9.9s: ", "width");
    for (int i = 0; i < kShellWidthCount; ++i) {
        if (state.m_aWidth[i] != 0) std::fprintf(out, "%d ", state.m_aWidth[i]);
    }
    std::fputc('\n', out);
    return 0;
}

}  // namespace shell
