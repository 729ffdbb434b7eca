// Commands that change settings of the state or of the process.
#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tavrin/shell/arguments.h"
#include "tavrin/shell/commands.h"
#include "tavrin/shell/shell_state.h"

namespace shell {

namespace {

std::string shortText(const char* text) {
    return std::string(text).substr(0, kShellShortText);
}

bool isPlainIdentifier(const char* name) {
    unsigned char first = static_cast<unsigned char>(name[0]);
    if (!std::isalpha(first) && first != '_') return false;
    for (const char* p = name; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (!std::isalnum(c) && c != '_') return false;
    }
    return true;
}

// The insert mode's table: as typed when it is a plain identifier, else an SQL string.
std::string destinationTable(const char* name) {
    if (isPlainIdentifier(name)) return name;
    std::string quoted = "'";
    for (const char* p = name; *p; ++p) {
        if (*p == '\'') quoted += '\'';
        quoted += *p;
    }
    quoted += '\'';
    return quoted;
}

}  // namespace

int commandBail(ShellState&, int, char** azArg) {
    g_bBail = parseBoolean(azArg[1]) != 0;
    return 0;
}

int commandBreakpoint(ShellState&, int, char**) {
    ++g_nBreakpoint;
    return 0;
}

int commandEcho(ShellState& state, int, char** azArg) {
    state.m_bEcho = parseBoolean(azArg[1]) != 0;
    return 0;
}

int commandExit(ShellState& state, int nArg, char** azArg) {
    if (nArg > 1) {
        // Read as atoi would, without its overflow. The system keeps only the low 8 bits of an
        // exit status, so 256 would end the process as a success: a status outside 1..255
        // ends it with 255.
        long long status = std::strtoll(azArg[1], nullptr, 10);
        if (status != 0) {
            std::fflush(state.out());
            std::exit(status >= 1 && status <= 255 ? static_cast<int>(status) : 255);
        }
    }
    return 2;
}

int commandExplain(ShellState& state, int nArg, char** azArg) {
    int value = nArg >= 2 ? parseBoolean(azArg[1]) : 1;
    SavedExplain& saved = state.m_savedExplain;
    if (value == 1) {
        if (!saved.m_bValid) {
            saved.m_bValid = true;
            saved.m_nMode = state.m_nMode;
            saved.m_bHeaders = state.m_bHeaders;
            std::memcpy(saved.m_aWidth, state.m_aWidth, sizeof saved.m_aWidth);
        }
        // Widths that fit the columns of an EXPLAIN listing.
        static const int kExplainWidths[] = {4, 13, 4, 4, 4, 13, 2, 13};
        state.m_nMode = kModeExplain;
        state.m_bHeaders = true;
        std::memset(state.m_aWidth, 0, sizeof state.m_aWidth);
        std::memcpy(state.m_aWidth, kExplainWidths, sizeof kExplainWidths);
    } else if (saved.m_bValid) {
        saved.m_bValid = false;
        state.m_nMode = saved.m_nMode;
        state.m_bHeaders = saved.m_bHeaders;
        std::memcpy(state.m_aWidth, saved.m_aWidth, sizeof state.m_aWidth);
    }
    return 0;
}

int commandHeaders(ShellState& state, int, char** azArg) {
    state.m_bHeaders = parseBoolean(azArg[1]) != 0;
    return 0;
}

int commandMode(ShellState& state, int, char** azArg) {
    const std::string mode = azArg[1];
    if (mode == "line" || mode == "lines") {
        state.m_nMode = kModeLine;
    } else if (mode == "column" || mode == "columns") {
        state.m_nMode = kModeColumn;
    } else if (mode == "list") {
        state.m_nMode = kModeList;
    } else if (mode == "html") {
        state.m_nMode = kModeHtml;
    } else if (mode == "tcl") {
        state.m_nMode = kModeTcl;
        state.m_strSeparator = " ";
    } else if (mode == "csv") {
        state.m_nMode = kModeCsv;
        state.m_strSeparator = ",";
    } else if (mode == "tabs") {
        state.m_nMode = kModeList;
        state.m_strSeparator = "\t";
    } else if (mode == "insert") {
        state.m_nMode = kModeInsert;
        state.m_strDestTable = "table";
    } else {
        std::fprintf(stderr,
                     "Error: mode should be one of: column csv html insert line list tabs tcl\n");
        return 1;
    }
    return 0;
}

int commandModeInsert(ShellState& state, int, char** azArg) {
    if (std::strcmp(azArg[1], "insert") != 0) {
        std::fprintf(stderr, "Error: invalid arguments:  \"%s\". Enter \".help\" for help\n",
                     azArg[2]);
        return 1;
    }
    state.m_nMode = kModeInsert;
    state.m_strDestTable = destinationTable(azArg[2]);
    return 0;
}

int commandNullValue(ShellState& state, int, char** azArg) {
    state.m_strNullValue = shortText(azArg[1]);
    return 0;
}

int commandPrompt(ShellState&, int nArg, char** azArg) {
    g_strMainPrompt = shortText(azArg[1]);
    if (nArg > 2) g_strContinuePrompt = shortText(azArg[2]);
    return 0;
}

int commandQuit(ShellState&, int, char**) {
    return 2;
}

int commandStats(ShellState& state, int, char** azArg) {
    state.m_bStats = parseBoolean(azArg[1]) != 0;
    return 0;
}

int commandTimeout(ShellState& state, int, char** azArg) {
    ensureOpen(state);
    if (!state.m_pDb) return 1;
    sqlite3_busy_timeout(state.m_pDb, std::atoi(azArg[1]));
    return 0;
}

int commandTimer(ShellState&, int, char** azArg) {
    g_bTimer = parseBoolean(azArg[1]) != 0;
    return 0;
}

int commandWidth(ShellState& state, int nArg, char** azArg) {
    // Bounded, so a typing slip cannot ask for gigabytes of padding per cell.
    constexpr long kMaxWidth = 100000;
    for (int j = 1; j < nArg && j < kShellWidthCount; ++j) {
        long width = std::strtol(azArg[j], nullptr, 10);
        if (width > kMaxWidth) width = kMaxWidth;
        if (width < -kMaxWidth) width = -kMaxWidth;
        state.m_aWidth[j - 1] = static_cast<int>(width);
    }
    return 0;
}

}  // namespace shell
