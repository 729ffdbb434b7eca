// .read, .separator and .import: the commands the package import drives.
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tavrin/shell/commands.h"
#include "tavrin/shell/import_batch.h"
#include "tavrin/shell/import_fields.h"
#include "tavrin/shell/line_input.h"
#include "tavrin/shell/shell_state.h"
#include "tavrin/shell/statement_runner.h"

namespace shell {

namespace {

// Runs a statement whose outcome does not matter (transaction control, pragmas).
void execQuietly(sqlite3* db, const char* sql) {
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// Text of the first column of the single row of a pragma, or empty.
std::string pragmaText(sqlite3* db, const char* sql) {
    std::string result;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && stmt &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(stmt, 0);
        if (text) result = reinterpret_cast<const char*>(text);
    }
    sqlite3_finalize(stmt);
    return result;
}

// Journal in memory (unless the file keeps a write-ahead log) and no syncs while a fast import
// loads; the old settings come back after.
class CFastImportSettings {
  public:
    CFastImportSettings(sqlite3* db, bool enabled) : m_pDb(enabled ? db : nullptr) {
        if (!m_pDb) return;
        m_strJournalMode = pragmaText(m_pDb, "PRAGMA journal_mode");
        m_strSynchronous = pragmaText(m_pDb, "PRAGMA synchronous");
        // A write-ahead log stays: leaving it needs every other connection gone, and readers
        // of the file rely on it while the import writes.
        if (m_strJournalMode == "wal")
            m_strJournalMode.clear();
        else
            execQuietly(m_pDb, "PRAGMA journal_mode=MEMORY");
        execQuietly(m_pDb, "PRAGMA synchronous=OFF");
    }
    ~CFastImportSettings() {
        if (!m_pDb) return;
        if (!m_strSynchronous.empty()) {
            execQuietly(m_pDb, ("PRAGMA synchronous=" + m_strSynchronous).c_str());
        }
        if (!m_strJournalMode.empty()) {
            execQuietly(m_pDb, ("PRAGMA journal_mode=" + m_strJournalMode).c_str());
        }
    }

  private:
    sqlite3* m_pDb;
    std::string m_strJournalMode;
    std::string m_strSynchronous;
};

}  // namespace

int commandSeparator(ShellState& state, int, char** azArg) {
    state.m_strSeparator = std::string(azArg[1]).substr(0, kShellShortText);
    return 0;
}

int commandImport(ShellState& state, int, char** azArg) {
    const char* file = azArg[1];
    const char* table = azArg[2];
    ensureOpen(state);
    sqlite3* db = state.m_pDb;
    if (!db) return 1;
    const std::string separator = state.m_strSeparator;
    const size_t k = separator.size();
    if (k == 0) {
        std::fprintf(stderr, "Error: non-null separator required for import\n");
        return 1;
    }

    char* select = sqlite3_mprintf("SELECT * FROM %s", table);
    if (!select) {
        std::fprintf(stderr, "Error: out of memory\n");
        return 1;
    }
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, select, -1, &stmt, nullptr);
    sqlite3_free(select);
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "Error: %s\n", sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        return 1;
    }
    int nColumns = sqlite3_column_count(stmt);
    sqlite3_finalize(stmt);
    stmt = nullptr;
    if (nColumns == 0) return 0;

    CImportBatch batch(db, table, nColumns);
    if (!batch.Prepare()) {
        std::fprintf(stderr, "Error: %s\n", batch.Error().c_str());
        return 1;
    }
    std::FILE* in = shell::openInputFile(file);
    if (!in) return 1;
    std::vector<char*> fields(static_cast<size_t>(nColumns) + 1);
    std::vector<SImportField> texts(static_cast<size_t>(nColumns));

    CFastImportSettings fast(db, state.m_bFastImport);
    execQuietly(db, "BEGIN");
    const char* closing = "COMMIT";
    int result = 0;
    int lineNumber = 0;
    auto abandon = [&] {
        closing = "ROLLBACK";
        result = 1;
    };
    auto insertFailed = [&] {
        std::fprintf(stderr, "Error: %s\n", sqlite3_errmsg(db));
        abandon();
    };
    // Rows wait in the batch until it is full. Before anything else is told, the rows read
    // before it go in (batch.Flush), so that a failing row is told first, as when each row
    // went in before the next line was read.
    shell::CLineReader reader(in);
    while (reader.next()) {
        ++lineNumber;
        // Often enough for a progress bar, rarely enough to cost nothing.
        if (state.m_fnImportProgress && (lineNumber & 4095) == 0) {
            if (!batch.Flush()) {
                insertFailed();
                break;
            }
            if (!state.m_fnImportProgress(static_cast<std::uint64_t>(std::ftell(in)))) {
                std::fprintf(stderr, "Error: %s: the import was stopped at line %d\n", file,
                             lineNumber);
                abandon();
                break;
            }
        }
        // The one-pass cut gives each text with its length; a line with a zero byte (or a
        // longer separator) takes the zero-terminated cut, whose texts end at the first zero.
        int found = k == 1 ? cutImportFields(reader.line(), reader.length(), separator[0], nColumns,
                                             texts.data(), &lineNumber)
                           : -1;
        if (found < 0) {
            found = splitImportFields(reader.line(), reader.length(), reader.quoteCount(),
                                      separator, nColumns, fields.data(), &lineNumber);
            for (int f = 0; f < nColumns && found == nColumns; ++f) {
                if (fields[f][0] == '"') unquoteField(fields[f]);
                texts[f] = {fields[f], std::strlen(fields[f])};
            }
        }
        if (found != nColumns) {
            if (!batch.Flush()) {
                insertFailed();
            } else {
                std::fprintf(stderr,
                             "Error: %s line %d: expected %d columns of data but found %d\n", file,
                             lineNumber, nColumns, found);
                abandon();
            }
            break;
        }
        if (!batch.Add(texts.data())) {
            insertFailed();
            break;
        }
    }
    if (result == 0 && !batch.Flush()) insertFailed();
    if (result == 0 && std::ferror(in)) {
        // What was read may end anywhere: keep none of it.
        std::fprintf(stderr, "Error: cannot read \"%s\"\n", file);
        abandon();
    }
    std::fclose(in);
    execQuietly(db, closing);
    return result;
}

}  // namespace shell
