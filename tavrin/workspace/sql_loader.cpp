#include "tavrin/workspace/sql_loader.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "common/console_text.h"
#include "common/sql_stop.h"
#include "platform/file_io.h"
#include "tavrin/workspace/insert_fast_path.h"
#include "tavrin/workspace/line_reader.h"

namespace workspace {

namespace {

void ReportOpenFailure(int code) {
    common::ConsolePrintf("打开文件失败！%d\n", code);
}

void ReportReadFailure(int code) {
    common::ConsolePrintf("读取sql文件失败%d\n", code);
}

// Runs the statements of sql[0, size) (sql[size] must be '\0') like sqlite3_exec without a
// callback: each in turn, rows stepped through, stopping at the first failure, whose message
// goes to error. Returns the SQLite result code.
int ExecStatements(sqlite3* db, const char* sql, std::size_t size, std::string& error) {
    error.clear();
    const char* tail = sql;
    const char* end = sql + size;
    while (tail < end && *tail) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, tail, static_cast<int>(end - tail) + 1, &stmt, &tail);
        if (rc != SQLITE_OK) {
            error = sqlite3_errmsg(db);
            return rc;
        }
        if (!stmt) continue;  // only blanks or a comment were left
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            error = sqlite3_errmsg(db);
            sqlite3_finalize(stmt);
            return rc;
        }
        sqlite3_finalize(stmt);
    }
    return SQLITE_OK;
}

// Runs one of the loaders' own statements past the guard; a failure is reported when asked.
// Returns true on success.
bool ExecTrusted(sqlite3* db, const char* sql, bool report = false) {
    char* message = nullptr;
    int rc = SQLITE_OK;
    {
        CTrustedSqlScope trusted;
        rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    }
    if (message && report) std::printf("%s%s\n", sql, message);
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

// Executes sql on the handle's connection, storing the outcome in its error slot; returns the
// SQLite result code.
int ExecIntoSlot(DbHandle& handle, const char* sql, bool bTrusted = false) {
    char* message = nullptr;
    int rc = SQLITE_OK;
    {
        CTrustedSqlScope trusted(bTrusted);
        rc = sqlite3_exec(handle.db, sql, nullptr, nullptr, &message);
    }
    handle.SetError(message);
    return rc;
}

// Notes a failed statement in the report. Returns true when the load must end here: stopped
// on request, the database or disk is full, or the transaction is gone (SQLite rolls it back
// on some errors), after which every later statement would commit on its own.
bool NoteFailure(sqlite3* db, int rc, const char* sql, std::size_t size, SLoadReport& report) {
    if (common::StopRequested()) {
        report.bStopped = true;
        return true;
    }
    ++report.nFailed;
    std::string table = StatementTable(std::string(sql, size));
    bool known = false;
    for (const std::string& t : report.tables) known = known || t == table;
    if (!known) report.tables.push_back(std::move(table));
    const int primary = rc & 0xFF;
    if (primary == SQLITE_FULL || primary == SQLITE_IOERR) {
        report.bFull = true;
        return true;
    }
    return sqlite3_get_autocommit(db) != 0;
}

// The first word of text after leading blanks, and what follows it.
std::string_view NextWord(std::string_view& text) {
    std::size_t start = 0;
    while (start < text.size() && static_cast<unsigned char>(text[start]) <= ' ') ++start;
    std::size_t end = start;
    const char open = start < text.size() ? text[start] : '\0';
    const char close = open == '[' ? ']' : open;
    if (open == '`' || open == '"' || open == '[') {
        // A quoted name runs to its closing quote, blanks and all.
        end = text.find(close, start + 1);
        end = end == std::string_view::npos ? text.size() : end + 1;
    } else {
        while (end < text.size() && static_cast<unsigned char>(text[end]) > ' ' && text[end] != '(')
            ++end;
    }
    std::string_view word = text.substr(start, end - start);
    text.remove_prefix(end);
    return word;
}

bool WordIs(std::string_view word, const char* expected) {
    return word.size() == std::strlen(expected) &&
           sqlite3_strnicmp(word.data(), expected, static_cast<int>(word.size())) == 0;
}

std::string Unquoted(std::string_view name) {
    if (name.size() >= 2 && ((name.front() == '`' && name.back() == '`') ||
                             (name.front() == '"' && name.back() == '"') ||
                             (name.front() == '[' && name.back() == ']'))) {
        name = name.substr(1, name.size() - 2);
    }
    return std::string(name);
}

// True when a statement of size bytes stays within the connection's SQL length limit; longer
// text would fail anyway, so it is never gathered in memory.
bool FitsSqlLimit(sqlite3* db, std::size_t size) {
    return size <= static_cast<std::size_t>(sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, -1));
}

constexpr const char* kTooLong = "statement too long";

bool EndsStatement(const char* data, std::size_t size) {
    if (size < 2 || data[size - 2] != ')' || data[size - 1] != ';') return false;
    // The ");" at the end must be the first one of the line. A row statement has a ')' after
    // every row but a ';' only at its end, so the search goes by ';'.
    const char* p = data + 1;
    const char* last = data + size - 1;
    while ((p = static_cast<const char*>(std::memchr(p, ';', last - p))) != nullptr) {
        if (p[-1] == ')') return false;
        ++p;
    }
    return true;
}

// The start every load of a file shares: an empty report, the file open, the connection
// there and guarded. False, with the failure printed, when the file cannot be opened or the
// handle has no connection; nothing has run on the connection then.
bool BeginLoad(DbHandle& handle, const std::string& path, platform::CFileReader& file,
               SLoadReport& report) {
    report = SLoadReport();
    if (!file.Open(path)) {
        ReportOpenFailure(file.ErrorCode());
        return false;
    }
    if (!handle.db) {
        ReportOpenFailure(0);
        return false;
    }
    GuardPackageConnection(handle.db);
    return true;
}

}  // namespace

std::string StatementTable(const std::string& statement) {
    std::string_view rest(statement);
    std::string_view word = NextWord(rest);
    if (WordIs(word, "INSERT") || WordIs(word, "REPLACE")) {
        while (!(word = NextWord(rest)).empty() && !WordIs(word, "INTO")) {
        }
        if (!word.empty()) return Unquoted(NextWord(rest));
    } else if (WordIs(word, "CREATE")) {
        while (!(word = NextWord(rest)).empty()) {
            if (WordIs(word, "TABLE")) {
                std::string_view name = NextWord(rest);
                if (WordIs(name, "IF")) {  // IF NOT EXISTS
                    NextWord(rest);
                    NextWord(rest);
                    name = NextWord(rest);
                }
                return Unquoted(name);
            }
            if (WordIs(word, "ON")) return Unquoted(NextWord(rest));
        }
    }
    std::string_view start(statement);
    while (!start.empty() && static_cast<unsigned char>(start.front()) <= ' ')
        start.remove_prefix(1);
    return std::string(start.substr(0, 40));
}

int RunSqlFile(DbHandle& handle, const std::string& path, SLoadReport* pReport) {
    SLoadReport ignored;
    SLoadReport& report = pReport ? *pReport : ignored;
    platform::CFileReader file;
    if (!BeginLoad(handle, path, file, report)) return 0;
    ExecIntoSlot(handle, "begin transaction", true);

    constexpr std::size_t kChunk = 1 << 20;
    std::unique_ptr<char[]> chunk(new char[kChunk]);
    std::string statement;
    bool discarding = false;  // inside a statement that outgrew the length limit
    bool ended = false;       // stopped, or the transaction was lost
    while (!ended) {
        std::int64_t n = file.Read(chunk.get(), kChunk);
        if (n < 0) {
            ReportReadFailure(file.ErrorCode());
            ++report.nFailed;
        }
        if (n <= 0) break;
        const char* p = chunk.get();
        const char* end = p + n;
        while (p < end && !ended) {
            const char* semi = static_cast<const char*>(std::memchr(p, ';', end - p));
            std::size_t piece = static_cast<std::size_t>((semi ? semi + 1 : end) - p);
            if (!discarding && !FitsSqlLimit(handle.db, statement.size() + piece)) {
                std::printf("%s\n", kTooLong);
                statement.append(p, std::min<std::size_t>(piece, 64));
                ended = NoteFailure(handle.db, SQLITE_TOOBIG, statement.data(), statement.size(),
                                    report);
                statement.clear();
                discarding = true;
            }
            if (!semi) {
                if (!discarding) statement.append(p, end);
                break;
            }
            p = semi + 1;
            if (discarding) {
                discarding = false;
                continue;
            }
            if (common::StopRequested()) {
                report.bStopped = true;
                break;
            }
            statement.append(p - piece, p);
            int rc = ExecIntoSlot(handle, statement.c_str());
            if (rc != SQLITE_OK) {
                ended = NoteFailure(handle.db, rc, statement.data(), statement.size(), report);
                if (!report.bStopped) {
                    std::fwrite(statement.data(), 1, statement.size(), stdout);
                    std::printf("%s\n", handle.errmsg ? handle.errmsg : sqlite3_errstr(rc));
                }
            }
            statement.clear();
        }
        if (report.bStopped) break;
    }
    if (report.bStopped || report.bFull || sqlite3_get_autocommit(handle.db)) {
        // Nothing of a stopped or failed run is kept half-way.
        if (!sqlite3_get_autocommit(handle.db)) ExecIntoSlot(handle, "rollback transaction", true);
        if (!report.bStopped && !report.bFull) report.bCommitFailed = true;
    } else if (ExecIntoSlot(handle, "commit transaction", true) != SQLITE_OK) {
        // A failed commit loses everything above; say so rather than report success silently.
        std::printf("commit transaction%s\n", handle.errmsg ? handle.errmsg : "");
        report.bCommitFailed = true;
        if (!sqlite3_get_autocommit(handle.db)) ExecIntoSlot(handle, "rollback transaction", true);
    }
    common::ConsolePrintf("Table完成！\n");
    return 1;
}

int InsertRowStatements(DbHandle& handle, const std::string& path, const std::atomic<bool>* stop,
                        SLoadReport* pReport, ERowStatements mode) {
    SLoadReport ignored;
    SLoadReport& report = pReport ? *pReport : ignored;
    platform::CFileReader file;
    if (!BeginLoad(handle, path, file, report)) return 0;
    sqlite3* db = handle.db;
    common::CStopScope stopScope(stop);
    // child.db is rebuilt from the package on every import, so the load needs no syncs to the
    // disk; the commit still leaves a consistent file. Put back when the load ends.
    ExecTrusted(db, "pragma synchronous = off");
    ExecTrusted(db, "begin transaction");

    CInsertFastPath fastPath(db);
    CLineReader lines(file);
    CLineReader::Line line;
    std::string pending;
    std::string error;  // the loader's own error slot
    int lineNumber = 0;
    bool ended = false;       // stopped, full, or the transaction was lost
    bool discarding = false;  // inside a statement that outgrew the length limit
    while (!ended && lines.Next(line)) {
        ++lineNumber;
        bool ends = EndsStatement(line.pData, line.nSize);
        if (!discarding && !FitsSqlLimit(db, pending.size() + line.nSize)) {
            std::printf("%d:%s\n", lineNumber, kTooLong);
            pending.append(line.pData, std::min<std::size_t>(line.nSize, 64));
            ended = NoteFailure(db, SQLITE_TOOBIG, pending.data(), pending.size(), report);
            pending.clear();
            pending.shrink_to_fit();
            discarding = true;
        }
        if (discarding) {
            discarding = !ends;
            continue;
        }
        if (!ends) {
            pending.append(line.pData, line.nSize);
            continue;
        }
        if (common::StopRequested()) {
            report.bStopped = true;
            break;
        }
        const char* sql = line.pData;
        std::size_t size = line.nSize;
        if (!pending.empty()) {
            pending.append(line.pData, line.nSize);
            sql = pending.c_str();
            size = pending.size();
        }
        int rc = SQLITE_OK;
        CInsertFastPath::EOutcome outcome = mode == ERowStatements::kBound
                                                ? fastPath.Run(sql, size, rc, error)
                                                : CInsertFastPath::EOutcome::kNotHandled;
        if (outcome == CInsertFastPath::EOutcome::kNotHandled)
            rc = ExecStatements(db, sql, size, error);
        if (rc != SQLITE_OK) {
            ended = NoteFailure(db, rc, sql, size, report);
            if (!report.bStopped) {
                std::fwrite(sql, 1, size, stdout);
                std::printf("%d:%s\n", lineNumber, error.c_str());
            }
        }
        pending.clear();
    }
    if (lines.Failed()) {
        ReportReadFailure(file.ErrorCode());
        ++report.nFailed;
    }
    if (report.bStopped || report.bFull || sqlite3_get_autocommit(db)) {
        // Nothing of a stopped or failed load is kept half-way, and nothing goes on outside
        // the transaction.
        if (!sqlite3_get_autocommit(db)) ExecTrusted(db, "rollback transaction");
        if (!report.bStopped && !report.bFull) report.bCommitFailed = true;
    } else if (!ExecTrusted(db, "commit transaction", true)) {
        report.bCommitFailed = true;
        if (!sqlite3_get_autocommit(db)) ExecTrusted(db, "rollback transaction");
    }
    ExecTrusted(db, "pragma synchronous = full");
    common::ConsolePrintf("Inster 结束！\n");
    return 1;
}

}  // namespace workspace
