#include "tavrin/shell/shell_state.h"

#include <sqlite3.h>

#include "platform/command_pipe.h"

ShellState::~ShellState() {
    shell::closeShell(*this);
}

namespace shell {

sqlite3* g_pCurrentDb = nullptr;
bool g_bBail = false;
bool g_bTimer = false;
const char* g_szShellStatic = nullptr;
int g_nBreakpoint = 0;
std::string g_strMainPrompt = "sqlite> ";
std::string g_strContinuePrompt = "   ...> ";

namespace {

// The state whose m_pLog receives the library log. The library takes its log handler once per
// process, so the handler looks the state up here; closeShell clears it.
ShellState* g_pLogState = nullptr;

void shellLog(void*, int code, const char* message) {
    ShellState* state = g_pLogState;
    if (!state || !state->m_pLog) return;
    std::fprintf(state->m_pLog, "(%d) %s\n", code, message);
    std::fflush(state->m_pLog);
}

void shellStaticFunction(sqlite3_context* context, int, sqlite3_value**) {
    if (g_szShellStatic) {
        sqlite3_result_text(context, g_szShellStatic, -1, SQLITE_STATIC);
    } else {
        sqlite3_result_null(context);
    }
}

void closeStream(std::FILE*& stream) {
    if (stream && stream != stdout && stream != stderr) std::fclose(stream);
    stream = nullptr;
}

}  // namespace

void closeShellOutput(ShellState& state) {
    if (state.m_pOut) {
        if (!state.m_strOutputName.empty() && state.m_strOutputName[0] == '|') {
            platform::CloseCommandPipe(state.m_pOut);
        } else if (state.m_pOut != stdout && state.m_pOut != stderr) {
            std::fclose(state.m_pOut);
        } else {
            std::fflush(state.m_pOut);
        }
    }
    state.m_pOut = nullptr;
    state.m_strOutputName.clear();
}

void closeShell(ShellState& state) {
    if (state.m_pDb) {
        if (g_pCurrentDb == state.m_pDb) g_pCurrentDb = nullptr;
        sqlite3_close(state.m_pDb);
        state.m_pDb = nullptr;
    }
    closeShellOutput(state);
    closeStream(state.m_pTrace);
    closeStream(state.m_pLog);
    if (g_pLogState == &state) g_pLogState = nullptr;
}

int openShell(ShellState& state, const char* dbFileName) {
    closeShell(state);
    state.m_bEcho = false;
    state.m_bStats = false;
    state.m_nRowCount = 0;
    state.m_nDumpErrors = 0;
    state.m_nMode = kModeList;
    state.m_bWritableSchema = false;
    state.m_bHeaders = false;
    state.m_strDestTable.clear();
    state.m_strSeparator = "|";
    for (int i = 0; i < kShellWidthCount; ++i) state.m_aWidth[i] = state.m_aActualWidth[i] = 0;
    state.m_strNullValue.clear();
    state.m_savedExplain = SavedExplain();
    state.m_pCurrentStatement = nullptr;

    // Both settings are refused once the library is initialised; then they simply do not apply.
    // Single-thread mode is never chosen: other threads use the library at the same time.
    sqlite3_config(SQLITE_CONFIG_URI, 1);
    sqlite3_config(SQLITE_CONFIG_LOG, shellLog, nullptr);
    g_pLogState = &state;
    g_strMainPrompt = "sqlite> ";
    g_strContinuePrompt = "   ...> ";

    state.m_strDbFileName = dbFileName ? dbFileName : "";
    ensureOpen(state);
    return 0;
}

void ensureOpen(ShellState& state) {
    if (state.m_pDb) return;
    sqlite3_initialize();
    sqlite3* db = nullptr;
    // A shell's connection serves one thread at a time, so it needs no mutex of its own: the
    // library's locks on every bind, step and reset are a tenth of a dump load.
    int rc =
        sqlite3_open_v2(state.m_strDbFileName.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (db && rc == SQLITE_OK && sqlite3_errcode(db) == SQLITE_OK) {
        // The import opens package databases here: no pointer-revealing tokenizer function,
        // and no way for SQL to corrupt the file on purpose.
        sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
        sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        sqlite3_create_function(db, "shellstatic", 0, SQLITE_UTF8, nullptr, shellStaticFunction,
                                nullptr, nullptr);
        sqlite3_enable_load_extension(db, 1);
        state.m_pDb = db;
        g_pCurrentDb = db;
        return;
    }
    std::fprintf(stderr, "Error: unable to open database \"%s\": %s\n",
                 state.m_strDbFileName.c_str(), db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    // A failed open still hands back a handle that must be released; the state keeps none, so
    // every later command that needs the database fails instead of ending the process.
    if (db) sqlite3_close(db);
}

}  // namespace shell
