// Commands that list or dump the schema and contents of the database.
#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tavrin/shell/commands.h"
#include "tavrin/shell/row_format.h"
#include "tavrin/shell/shell_state.h"
#include "tavrin/shell/statement_runner.h"

namespace shell {

namespace {

// Sets the pattern that shellstatic() returns for the life of one listing query.
class CShellStaticPattern {
  public:
    explicit CShellStaticPattern(const char* pattern) { g_szShellStatic = pattern; }
    ~CShellStaticPattern() { g_szShellStatic = nullptr; }
};

// Runs sql and calls row(stmt) for each row. Writes "Error: %s\n" and returns 1 on failure.
template <typename Row>
int forEachRow(sqlite3* db, const char* sql, Row row) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) row(stmt);
        if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    if (rc != SQLITE_OK) std::fprintf(stderr, "Error: %s\n", sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    return rc == SQLITE_OK ? 0 : 1;
}

const char* columnText(sqlite3_stmt* stmt, int i) {
    const unsigned char* text = sqlite3_column_text(stmt, i);
    return text ? reinterpret_cast<const char*>(text) : "";
}

std::string quoteIdentifier(const char* name) {
    std::string quoted = "\"";
    for (const char* p = name; *p; ++p) {
        if (*p == '"') quoted += '"';
        quoted += *p;
    }
    quoted += '"';
    return quoted;
}

// Writes one table of a dump: its CREATE statement and one INSERT per row.
// A REAL as SQL text that reads back as the same double: the shortest such digits (the C++
// library's conversion is exact on every system, unlike the library printf's rounding),
// always with a '.' or an exponent so that it stays a REAL, and the infinities as literals
// too large for a double.
std::string realLiteral(double value) {
    if (std::isinf(value)) return value < 0 ? "-9.0e+999" : "9.0e+999";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

void dumpTable(ShellState& state, const char* name, const char* sql) {
    std::FILE* out = state.out();
    sqlite3* db = state.m_pDb;
    if (std::strcmp(name, "sqlite_sequence") == 0) {
        std::fputs("DELETE FROM sqlite_sequence;\n", out);
    } else if (std::strncmp(name, "sqlite_stat", 11) == 0) {
        std::fputs("ANALYZE sqlite_master;\n", out);
        return;
    } else if (std::strncmp(name, "sqlite_", 7) == 0) {
        return;
    } else if (std::strncmp(sql, "CREATE VIRTUAL TABLE", 20) == 0) {
        // A virtual table cannot be created by a plain statement inside the dump's transaction
        // order; its schema row is written directly, as the library itself would store it.
        if (!state.m_bWritableSchema) {
            std::fputs("PRAGMA writable_schema=ON;\n", out);
            state.m_bWritableSchema = true;
        }
        char* insert = sqlite3_mprintf(
            "INSERT INTO sqlite_master(type,name,tbl_name,rootpage,sql)"
            "VALUES('table','%q','%q',0,'%q');",
            name, name, sql);
        std::fprintf(out, "%s\n", insert ? insert : "");
        sqlite3_free(insert);
        return;
    } else {
        std::fprintf(out, "%s;\n", sql);
    }

    std::string quoted = quoteIdentifier(name);
    std::string select = "SELECT * FROM " + quoted;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, select.c_str(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        int n = sqlite3_column_count(stmt);
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            std::fprintf(out, "INSERT INTO %s VALUES(", quoted.c_str());
            for (int i = 0; i < n; ++i) {
                if (i > 0) std::fputc(',', out);
                switch (sqlite3_column_type(stmt, i)) {
                    case SQLITE_NULL:
                        std::fputs("NULL", out);
                        break;
                    case SQLITE_INTEGER:
                        std::fprintf(out, "%lld",
                                     static_cast<long long>(sqlite3_column_int64(stmt, i)));
                        break;
                    case SQLITE_FLOAT:
                        std::fputs(realLiteral(sqlite3_column_double(stmt, i)).c_str(), out);
                        break;
                    case SQLITE_BLOB:
                        writeBlobLiteral(out, sqlite3_column_blob(stmt, i),
                                         sqlite3_column_bytes(stmt, i));
                        break;
                    default:
                        writeQuotedString(out, columnText(stmt, i));
                        break;
                }
            }
            std::fputs(");\n", out);
        }
    }
    if (rc != SQLITE_DONE) {
        std::fprintf(stderr, "Error: %s\n", sqlite3_errmsg(db));
        ++state.m_nDumpErrors;
    }
    sqlite3_finalize(stmt);
}

// Writes the tables that query yields (name, sql), then counts a failure of the query.
void dumpTables(ShellState& state, const char* query) {
    std::vector<std::pair<std::string, std::string>> tables;
    if (forEachRow(state.m_pDb, query, [&](sqlite3_stmt* stmt) {
            tables.emplace_back(columnText(stmt, 0), columnText(stmt, 1));
        }) != 0) {
        ++state.m_nDumpErrors;
    }
    for (const auto& [name, sql] : tables) dumpTable(state, name.c_str(), sql.c_str());
}

void dumpStatements(ShellState& state, const char* query) {
    std::FILE* out = state.out();
    if (forEachRow(state.m_pDb, query, [&](sqlite3_stmt* stmt) {
            std::fprintf(out, "%s;\n", columnText(stmt, 0));
        }) != 0) {
        ++state.m_nDumpErrors;
    }
}

}  // namespace

int commandDatabases(ShellState& state, int, char**) {
    ensureOpen(state);
    if (!state.m_pDb) return 1;
    // Listed in column mode with headers; the state's own settings come back afterwards.
    int savedMode = state.m_nMode;
    bool savedHeaders = state.m_bHeaders;
    int savedWidth[kShellWidthCount];
    std::memcpy(savedWidth, state.m_aWidth, sizeof savedWidth);
    state.m_nMode = kModeColumn;
    state.m_bHeaders = true;
    std::memset(state.m_aWidth, 0, sizeof state.m_aWidth);
    state.m_aWidth[0] = 3;
    state.m_aWidth[1] = 15;
    state.m_aWidth[2] = 58;
    state.m_nRowCount = 0;
    char* errorText = nullptr;
    int rc = runSql(state.m_pDb, "PRAGMA database_list; ", formatRow, &state, &errorText);
    state.m_nMode = savedMode;
    state.m_bHeaders = savedHeaders;
    std::memcpy(state.m_aWidth, savedWidth, sizeof savedWidth);
    if (rc != SQLITE_OK || errorText) {
        std::fprintf(stderr, "Error: %s\n", errorText ? errorText : sqlite3_errmsg(state.m_pDb));
        sqlite3_free(errorText);
        return 1;
    }
    return 0;
}

int commandDump(ShellState& state, int nArg, char** azArg) {
    ensureOpen(state);
    if (!state.m_pDb) return 1;
    std::FILE* out = state.out();
    sqlite3* db = state.m_pDb;
    std::fputs("PRAGMA foreign_keys=OFF;\n", out);
    std::fputs("BEGIN TRANSACTION;\n", out);
    state.m_bWritableSchema = false;
    state.m_nDumpErrors = 0;
    // One read transaction, so the dump is a consistent picture of the database.
    sqlite3_exec(db, "SAVEPOINT dump", nullptr, nullptr, nullptr);
    if (nArg == 1) {
        dumpTables(state,
                   "SELECT name, sql FROM sqlite_master WHERE sql NOT NULL AND type=='table' "
                   "AND name!='sqlite_sequence' ORDER BY rowid");
        dumpTables(state, "SELECT name, sql FROM sqlite_master WHERE name=='sqlite_sequence'");
        dumpStatements(state,
                       "SELECT sql FROM sqlite_master WHERE sql NOT NULL AND "
                       "type IN ('index','trigger','view') ORDER BY rowid");
    } else {
        CShellStaticPattern pattern(azArg[1]);
        dumpTables(state,
                   "SELECT name, sql FROM sqlite_master WHERE tbl_name LIKE shellstatic() "
                   "AND type=='table' AND sql NOT NULL ORDER BY rowid");
        dumpStatements(state,
                       "SELECT sql FROM sqlite_master WHERE sql NOT NULL AND "
                       "type IN ('index','trigger','view') AND tbl_name LIKE shellstatic() "
                       "ORDER BY rowid");
    }
    if (state.m_bWritableSchema) {
        std::fputs("PRAGMA writable_schema=OFF;\n", out);
        state.m_bWritableSchema = false;
    }
    sqlite3_exec(db, "RELEASE dump", nullptr, nullptr, nullptr);
    std::fputs(state.m_nDumpErrors ? "ROLLBACK; -- due to errors\n" : "COMMIT;\n", out);
    return state.m_nDumpErrors ? 1 : 0;
}

int commandIndices(ShellState& state, int nArg, char** azArg) {
    ensureOpen(state);
    if (!state.m_pDb) return 1;
    std::FILE* out = state.out();
    auto print = [out](sqlite3_stmt* stmt) { std::fprintf(out, "%s\n", columnText(stmt, 0)); };
    if (nArg == 1) {
        return forEachRow(state.m_pDb,
                          "SELECT name FROM sqlite_master WHERE type='index' AND name NOT LIKE "
                          "'sqlite_%' UNION ALL SELECT name FROM sqlite_temp_master WHERE "
                          "type='index' ORDER BY 1",
                          print);
    }
    CShellStaticPattern pattern(azArg[1]);
    return forEachRow(state.m_pDb,
                      "SELECT name FROM sqlite_master WHERE type='index' AND tbl_name LIKE "
                      "shellstatic() UNION ALL SELECT name FROM sqlite_temp_master WHERE "
                      "type='index' AND tbl_name LIKE shellstatic() ORDER BY 1",
                      print);
}

int commandSchema(ShellState& state, int nArg, char** azArg) {
    ensureOpen(state);
    if (!state.m_pDb) return 1;
    std::FILE* out = state.out();
    auto print = [out](sqlite3_stmt* stmt) { std::fprintf(out, "%s;\n", columnText(stmt, 0)); };
    if (nArg == 1) {
        return forEachRow(state.m_pDb,
                          "SELECT sql FROM (SELECT sql sql, type type, tbl_name tbl_name, "
                          "name name, rowid x FROM sqlite_master UNION ALL SELECT sql, type, "
                          "tbl_name, name, rowid FROM sqlite_temp_master) WHERE type!='meta' "
                          "AND sql NOTNULL AND name NOT LIKE 'sqlite_%' ORDER BY "
                          "substr(type,2,1), name",
                          print);
    }
    // Compared lower-cased; a copy, so the caller's argument stays as it was given.
    std::string pattern = azArg[1];
    for (char& c : pattern) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // The two schema tables have no stored CREATE statement of their own.
    if (pattern == "sqlite_master" || pattern == "sqlite_temp_master") {
        std::fprintf(out,
                     "CREATE %sTABLE %s (\n"
                     "  type text,\n"
                     "  name text,\n"
                     "  tbl_name text,\n"
                     "  rootpage integer,\n"
                     "  sql text\n"
                     ");\n",
                     pattern[7] == 't' ? "TEMP " : "", pattern.c_str());
        return 0;
    }
    CShellStaticPattern shellStatic(pattern.c_str());
    return forEachRow(state.m_pDb,
                      "SELECT sql FROM (SELECT sql sql, type type, tbl_name tbl_name, name "
                      "name FROM sqlite_master UNION ALL SELECT sql, type, tbl_name, name FROM "
                      "sqlite_temp_master) WHERE lower(tbl_name) LIKE shellstatic() AND "
                      "type!='meta' AND sql NOTNULL ORDER BY substr(type,2,1), name",
                      print);
}

int commandTables(ShellState& state, int nArg, char** azArg) {
    ensureOpen(state);
    if (!state.m_pDb) return 1;
    sqlite3* db = state.m_pDb;
    // One query over every attached database; tables outside main carry their database name.
    std::string query =
        "SELECT name FROM sqlite_master WHERE type IN ('table','view') AND name NOT LIKE "
        "'sqlite_%' AND name LIKE shellstatic() UNION ALL SELECT name FROM sqlite_temp_master "
        "WHERE type IN ('table','view') AND name NOT LIKE 'sqlite_%' AND name LIKE "
        "shellstatic()";
    std::vector<std::string> attached;
    if (forEachRow(db, "PRAGMA database_list", [&](sqlite3_stmt* stmt) {
            std::string name = columnText(stmt, 1);
            if (name != "main" && name != "temp") attached.push_back(name);
        }) != 0) {
        return 1;
    }
    for (const std::string& name : attached) {
        std::string schema = quoteIdentifier(name.c_str());
        char* literal = sqlite3_mprintf("%Q", name.c_str());
        query += " UNION ALL SELECT " + std::string(literal ? literal : "''") +
                 "||'.'||name FROM " + schema +
                 ".sqlite_master WHERE type IN ('table','view') AND name NOT LIKE 'sqlite_%' "
                 "AND name LIKE shellstatic()";
        sqlite3_free(literal);
    }
    query += " ORDER BY 1";
    std::vector<std::string> names;
    CShellStaticPattern pattern(nArg > 1 ? azArg[1] : "%");
    if (forEachRow(db, query.c_str(),
                   [&](sqlite3_stmt* stmt) { names.emplace_back(columnText(stmt, 0)); }) != 0) {
        return 1;
    }
    if (names.empty()) return 0;
    size_t longest = 0;
    for (const std::string& name : names) longest = std::max(longest, name.size());
    int columns = 80 / static_cast<int>(longest + 2);
    if (columns < 1) columns = 1;
    int count = static_cast<int>(names.size());
    int rows = (count + columns - 1) / columns;
    for (int i = 0; i < rows; ++i) {
        for (int j = i; j < count; j += rows) {
            std::printf("%s%-*s", j < rows ? "" : "  ", static_cast<int>(longest),
                        names[static_cast<size_t>(j)].c_str());
        }
        std::printf("\n");
    }
    return 0;
}

}  // namespace shell
