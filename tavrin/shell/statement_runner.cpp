#include "tavrin/shell/statement_runner.h"

#include <sqlite3.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/cpu_times.h"
#include "tavrin/shell/line_input.h"
#include "tavrin/shell/row_format.h"
#include "tavrin/shell/shell_state.h"
#include "tavrin/shell/sql_complete.h"

namespace shell {

namespace {

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

const char* skipSpace(const char* p) {
    while (isSpace(*p)) ++p;
    return p;
}

char* copyMessage(const char* message) {
    return sqlite3_mprintf("%s", message);
}

// Statement timing for .timer.
struct CStatementTimer {
    bool m_bRunning = false;
    platform::CpuTimes m_start;

    void begin() { m_bRunning = g_bTimer && platform::ReadCpuTimes(&m_start); }
    void end() {
        platform::CpuTimes now;
        if (!m_bRunning || !platform::ReadCpuTimes(&now)) return;
        std::printf("CPU Time: user %f sys %f\n", now.userSeconds - m_start.userSeconds,
                    now.systemSeconds - m_start.systemSeconds);
        m_bRunning = false;
    }
};

}  // namespace

bool isBlankSql(const char* text) {
    const char* p = text;
    while (*p) {
        if (isSpace(*p)) {
            ++p;
        } else if (p[0] == '/' && p[1] == '*') {
            const char* close = std::strstr(p + 2, "*/");
            if (!close) return false;
            p = close + 2;
        } else if (p[0] == '-' && p[1] == '-') {
            while (*p && *p != '\n') ++p;
        } else {
            return false;
        }
    }
    return true;
}

bool isTerminatorLine(const char* line) {
    const char* p = skipSpace(line);
    if (*p == '/') {
        return isBlankSql(p + 1);
    }
    if (std::tolower(static_cast<unsigned char>(p[0])) == 'g' &&
        std::tolower(static_cast<unsigned char>(p[1])) == 'o') {
        return isBlankSql(p + 2);
    }
    return false;
}

void writeStatistics(ShellState& state, sqlite3_stmt* stmt) {
    std::FILE* out = state.out();
    int current = 0;
    int highwater = 0;
    auto status = [&](const char* label, int op, const char* unit, bool showMax) {
        current = highwater = 0;
        sqlite3_status(op, &current, &highwater, 0);
        if (showMax) {
            std::fprintf(out, "%-37s %d (max %d)%s\n", label, current, highwater, unit);
        } else {
            std::fprintf(out, "%-37s %d%s\n", label, highwater, unit);
        }
    };
    status("Memory Used:", SQLITE_STATUS_MEMORY_USED, " bytes", true);
    status("Number of Outstanding Allocations:", SQLITE_STATUS_MALLOC_COUNT, "", true);
    status("Number of Pcache Overflow Bytes:", SQLITE_STATUS_PAGECACHE_OVERFLOW, " bytes", true);
    status("Largest Allocation:", SQLITE_STATUS_MALLOC_SIZE, " bytes", false);
    // The library no longer has a scratch allocator, so it has no figure to give.
    std::fprintf(stderr, "Number of Scratch Overflow Bytes: not available in SQLite %s\n",
                 sqlite3_libversion());
    if (sqlite3* db = state.m_pDb) {
        auto dbStatus = [&](const char* label, int op, bool useHighwater, const char* unit) {
            current = highwater = 0;
            sqlite3_db_status(db, op, &current, &highwater, 0);
            std::fprintf(out, "%-37s %d%s\n", label, useHighwater ? highwater : current, unit);
        };
        dbStatus("Lookaside Slots Used:", SQLITE_DBSTATUS_LOOKASIDE_USED, false, "");
        dbStatus("Successful lookaside attempts:", SQLITE_DBSTATUS_LOOKASIDE_HIT, true, "");
        dbStatus("Lookaside failures due to size:", SQLITE_DBSTATUS_LOOKASIDE_MISS_SIZE, true, "");
        dbStatus("Lookaside failures due to OOM:", SQLITE_DBSTATUS_LOOKASIDE_MISS_FULL, true, "");
        dbStatus("Pager Heap Usage:", SQLITE_DBSTATUS_CACHE_USED, false, " bytes");
        dbStatus("Page cache hits:", SQLITE_DBSTATUS_CACHE_HIT, false, "");
        dbStatus("Page cache misses:", SQLITE_DBSTATUS_CACHE_MISS, false, "");
        dbStatus("Page cache writes:", SQLITE_DBSTATUS_CACHE_WRITE, false, "");
        dbStatus("Schema Heap Usage:", SQLITE_DBSTATUS_SCHEMA_USED, false, " bytes");
        dbStatus("Statement Heap/Lookaside Usage:", SQLITE_DBSTATUS_STMT_USED, false, " bytes");
    }
    if (stmt) {
        std::fprintf(out, "%-37s %d\n", "Fullscan Steps:",
                     sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_FULLSCAN_STEP, 0));
        std::fprintf(out, "%-37s %d\n",
                     "Sort Operations:", sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_SORT, 0));
        std::fprintf(out, "%-37s %d\n", "Autoindex Inserts:",
                     sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_AUTOINDEX, 0));
    }
}

int runSql(sqlite3* db, const char* sql, ShellRowHandler handler, ShellState* state,
           char** errorText) {
    if (errorText) *errorText = nullptr;
    if (!db) {
        if (errorText) *errorText = copyMessage("no database connection");
        return SQLITE_MISUSE;
    }
    int rc = SQLITE_OK;
    const char* rest = sql;
    while (rest && *rest && rc == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        rc = sqlite3_prepare_v2(db, rest, -1, &stmt, &tail);
        if (rc != SQLITE_OK) {
            if (errorText) *errorText = copyMessage(sqlite3_errmsg(db));
            break;
        }
        if (!stmt) {  // only whitespace or a comment was left
            rest = skipSpace(tail);
            continue;
        }
        if (state) {
            state->m_pCurrentStatement = stmt;
            state->m_nRowCount = 0;
            if (state->m_bEcho) {
                const char* text = sqlite3_sql(stmt);
                std::fprintf(state->out(), "%s\n", text ? text : rest);
            }
            // The query-plan listing of the explain mode needs a test control this library no
            // longer has; the explain mode then only lays out the rows.
        }
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW && handler) {
            int n = sqlite3_column_count(stmt);
            std::vector<char*> names(static_cast<size_t>(n) + 1);
            std::vector<char*> values(static_cast<size_t>(n) + 1);
            std::vector<int> types(static_cast<size_t>(n) + 1);
            for (int i = 0; i < n; ++i) names[i] = const_cast<char*>(sqlite3_column_name(stmt, i));
            do {
                bool missing = false;
                for (int i = 0; i < n; ++i) {
                    types[i] = sqlite3_column_type(stmt, i);
                    values[i] = reinterpret_cast<char*>(
                        const_cast<unsigned char*>(sqlite3_column_text(stmt, i)));
                    if (!values[i] && types[i] != SQLITE_NULL) missing = true;
                }
                if (missing) {
                    rc = SQLITE_NOMEM;
                    break;
                }
                if (handler(state, n, values.data(), names.data(), types.data()) != 0) {
                    rc = SQLITE_ABORT;
                    break;
                }
                rc = sqlite3_step(stmt);
            } while (rc == SQLITE_ROW);
        } else {
            while (rc == SQLITE_ROW) rc = sqlite3_step(stmt);
        }
        if (state && state->m_bStats) writeStatistics(*state, stmt);
        int finalRc = sqlite3_finalize(stmt);
        if (rc != SQLITE_NOMEM) rc = finalRc;
        if (rc == SQLITE_OK) {
            rest = skipSpace(tail);
        } else if (errorText) {
            *errorText = copyMessage(sqlite3_errmsg(db));
        }
        if (state) state->m_pCurrentStatement = nullptr;
    }
    return rc;
}

int runScriptWith(ShellState& state, std::FILE* stream, ShellDotLineRunner runDotLine) {
    std::string pending;  // the statement being collected; empty when none
    // Whether pending is complete, kept up to date line by line: asking sqlite3_complete
    // about the whole text at every line would make a script quadratic in its length.
    CSqlCompleteness completeness;
    size_t priorLength = 0;
    int errors = 0;
    int lineNumber = 0;
    int startLine = 0;
    CStatementTimer timer;
    while (errors == 0 || !g_bBail) {
        if (state.m_pOut) {
            std::fflush(state.m_pOut);
        } else {
            std::fflush(nullptr);
        }
        std::optional<std::string> read = shell::readLine(stream, false);
        if (!read) break;
        std::string& line = *read;
        ++lineNumber;
        if (pending.empty() && isBlankSql(line.c_str())) continue;
        if (line[0] == '.' && pending.empty()) {
            if (state.m_bEcho) std::printf("%s\n", line.c_str());
            int rc = runDotLine(line.data(), state);
            if (rc == 2) break;
            if (rc != 0) ++errors;
            continue;
        }
        if (isTerminatorLine(line.c_str()) && (pending.empty() || completeness.CompleteWith(';'))) {
            line = ";";
        }
        priorLength = pending.size();
        if (pending.empty()) {
            if (*skipSpace(line.c_str()) == '\0') continue;
            pending = line;
            startLine = lineNumber;
            completeness.Reset();
        } else {
            pending += '\n';
            completeness.Feed("\n", 1);
            pending += line;
        }
        completeness.Feed(line.data(), line.size());
        if (pending.find(';', priorLength) != std::string::npos && completeness.Complete()) {
            state.m_nRowCount = 0;
            ensureOpen(state);
            if (!state.m_pDb) {
                // ensureOpen has said why; the statement cannot run.
                ++errors;
            } else {
                char* errorText = nullptr;
                timer.begin();
                int rc = runSql(state.m_pDb, pending.c_str(), formatRow, &state, &errorText);
                timer.end();
                if (rc != SQLITE_OK || errorText) {
                    std::string prefix = "Error: near line " + std::to_string(startLine) + ":";
                    std::fprintf(stderr, "%s %s\n", prefix.c_str(),
                                 errorText ? errorText : sqlite3_errmsg(state.m_pDb));
                    ++errors;
                }
                sqlite3_free(errorText);
            }
            pending.clear();
        }
    }
    if (!pending.empty() && !isBlankSql(pending.c_str())) {
        std::fprintf(stderr, "Error: incomplete SQL: %s\n", pending.c_str());
    }
    return errors > 0 ? 1 : 0;
}

}  // namespace shell
