// Fuzz target: the line reading and field cutting of .import. The block reader must give the
// same lines as readLine at any block size, the quick cut of a line without quotes must
// equal the byte-by-byte cut, and the one-pass cut of a one-byte separator must give the texts
// of the zero-terminated cut (and leave lines with a zero byte to it). Besides, lines written
// as the appliance writes its text-matrix dump (each value in quotes, inner quotes and
// backslashes escaped with a backslash) must come out of the quote stripping and the cut as one
// field per value, the value without its quotes. And every line, run as a row statement, must
// leave the same database and fail with the same message through the bound fast path as through
// SQLite's parsing of the text (a line starting with "IN" as it stands; any other line as the
// rows of an INSERT into the table its first byte picks).
//
// Input layout: byte 0 picks the separator length (1-3) and the column count (1-8), byte 1
// the reader's block size; then the separator's bytes; the rest is the data file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <sqlite3.h>

#include "fuzz/fuzz_check.h"
#include "tavrin/shell/import_fields.h"
#include "tavrin/shell/line_input.h"
#include "tavrin/workspace/insert_fast_path.h"
#include "tavrin/workspace/insert_fast_path_check.h"
#include "tavrin/workspace/sql_dump_conversion.h"
#include "tavrin/workspace/sql_loader.h"

using fuzz_support::check;

namespace {

struct Cut {
    int found = 0;
    int lineNumber = 0;
    std::vector<std::string> fields;
};

Cut cutLine(std::string line, std::size_t quoteCount, std::string_view separator, int nColumns) {
    Cut cut;
    std::vector<char*> fields(static_cast<std::size_t>(nColumns) + 1, nullptr);
    char* begin = line.data();
    char* end = begin + line.size();
    cut.found = shell::splitImportFields(begin, line.size(), quoteCount, separator, nColumns,
                                         fields.data(), &cut.lineNumber);
    check(cut.found >= 1);
    int started = cut.found < nColumns ? cut.found : nColumns;
    for (int i = 0; i < started; ++i) {
        check(fields[i] >= begin && fields[i] <= end);
        std::string field(fields[i]);
        check(fields[i] + field.size() <= end);
        std::size_t before = field.size();
        if (!field.empty() && field[0] == '"') {
            shell::unquoteField(field.data());
            field.resize(std::strlen(field.c_str()));
            check(field.size() < before);
        }
        cut.fields.push_back(field);
    }
    return cut;
}

// The data file read as rows of values (a row per line, values cut at byte 1), each row
// written as the dump writes it, stripped and cut at ','.
void checkEscapedRows(std::string_view file) {
    std::size_t start = 0;
    while (start < file.size()) {
        std::size_t lf = file.find('\n', start);
        std::string_view row = file.substr(start, lf == std::string_view::npos ? lf : lf - start);
        start = lf == std::string_view::npos ? file.size() : lf + 1;

        std::vector<std::string> values(1);
        std::string line;
        for (char c : row) {
            if (c == '\1') {
                values.emplace_back();
            } else if (c != '\0') {  // a zero byte would end a field of the cut
                values.back().push_back(c);
            }
        }
        for (const std::string& value : values) {
            line += line.empty() ? "\"" : ",\"";
            for (char c : value) {
                if (c == '"' || c == '\\') line.push_back('\\');
                line.push_back(c);
            }
            line.push_back('"');
        }
        std::string stripped;
        workspace::AppendStrippedQuotesRewrite(line, stripped);
        const int nColumns = static_cast<int>(values.size());
        std::vector<shell::SImportField> texts(values.size());
        int lineNumber = 0;
        check(shell::cutImportFields(stripped.data(), stripped.size(), ',', nColumns, texts.data(),
                                     &lineNumber) == nColumns);
        for (int i = 0; i < nColumns; ++i) {
            std::string expected;
            for (char c : values[static_cast<std::size_t>(i)]) {
                if (c != '"') expected.push_back(c);
            }
            check(std::string(texts[i].pText, texts[i].nLength) == expected);
        }
    }
}

// One column of each affinity, constraints that fail rows in each conflict mode, a STRICT table.
constexpr const char* kRowTables =
    "CREATE TABLE `a` (`i` int(11), `t` varchar(64), `r` double, `n` decimal(10,2), `b` blob);"
    "CREATE TABLE `k` (`id` int(11) NOT NULL, `v` text NOT NULL, PRIMARY KEY (`id`));"
    "CREATE TABLE `f` (`id` int UNIQUE ON CONFLICT FAIL, `v` text CHECK (`v` <> 'no'));"
    "CREATE TABLE `g` (`id` int UNIQUE ON CONFLICT IGNORE, `v` text);"
    "CREATE TABLE `p` (`id` int UNIQUE ON CONFLICT REPLACE, `v` text);"
    "CREATE TABLE `s` (`id` INTEGER PRIMARY KEY, `v` TEXT) STRICT;";
constexpr const char* kRowTableNames[] = {"`a`", "a", "`k`", "`f`", "`g`", "`p`", "\"s\"", "[x]"};

sqlite3* OpenRowDatabase() {
    sqlite3* db = nullptr;
    check(sqlite3_open(":memory:", &db) == SQLITE_OK);
    check(sqlite3_exec(db, kRowTables, nullptr, nullptr, nullptr) == SQLITE_OK);
    workspace::GuardPackageConnection(db);
    // Small limits so that long rows reach the cut into several prepared statements.
    sqlite3_limit(db, SQLITE_LIMIT_VARIABLE_NUMBER, 40);
    check(workspace::ExecLoaderSql(db, "begin transaction") == SQLITE_OK);
    return db;
}

// Runs statement text on db as the row loader's plain path does; the result code and message.
int ExecText(sqlite3* db, const std::string& sql, std::string& error) {
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    error = message ? message : "";
    sqlite3_free(message);
    return rc;
}

void checkRowStatements(std::string_view file) {
    sqlite3* bound = OpenRowDatabase();
    sqlite3* parsed = OpenRowDatabase();
    {
        workspace::CInsertFastPath fast(bound);
        std::size_t start = 0;
        while (start < file.size() && !sqlite3_get_autocommit(parsed)) {
            std::size_t lf = file.find('\n', start);
            std::string_view line =
                file.substr(start, lf == std::string_view::npos ? lf : lf - start);
            start = lf == std::string_view::npos ? file.size() : lf + 1;
            std::string sql;
            if (line.substr(0, 2) == "IN") {
                sql = std::string(line);
            } else if (!line.empty()) {
                sql = std::string("INSERT INTO ") +
                      kRowTableNames[static_cast<unsigned char>(line[0]) % 8] + " VALUES " +
                      std::string(line.substr(1)) + ";";
            }
            std::string fastError;
            int fastRc = SQLITE_OK;
            workspace::CInsertFastPath::EOutcome outcome =
                fast.Run(sql.c_str(), sql.size(), fastRc, fastError);
            if (outcome == workspace::CInsertFastPath::EOutcome::kNotHandled)
                fastRc = ExecText(bound, sql, fastError);
            std::string error;
            const int rc = ExecText(parsed, sql, error);
            check(fastRc == rc);
            check(fastError == error);
            check(sqlite3_get_autocommit(bound) == sqlite3_get_autocommit(parsed));
        }
    }
    check(workspace::test::DatabaseContent(bound) == workspace::test::DatabaseContent(parsed));
    sqlite3_close(bound);
    sqlite3_close(parsed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t k = 1 + data[0] % 3;
    const int nColumns = 1 + (data[0] / 3) % 8;
    const std::size_t blockSize = 16 + data[1];
    if (size < 2 + k) return 0;
    std::string separator(reinterpret_cast<const char*>(data + 2), k);
    const char* file = reinterpret_cast<const char*>(data + 2 + k);
    const std::size_t fileSize = size - 2 - k;

    std::FILE* stream = std::tmpfile();
    if (!stream) return 0;
    if (fileSize) std::fwrite(file, 1, fileSize, stream);
    std::rewind(stream);
    std::vector<std::string> expected;
    while (std::optional<std::string> line = shell::readLine(stream, true))
        expected.push_back(*line);
    std::rewind(stream);
    shell::CLineReader reader(stream, blockSize);
    std::size_t index = 0;
    while (reader.next()) {
        check(index < expected.size());
        std::string line(reader.line(), reader.length());
        check(line == expected[index]);
        std::size_t quotes = 0;
        for (char c : line) quotes += c == '"';
        check(quotes == reader.quoteCount());
        if (k == 1 && line.find('\0') != std::string::npos) {
            std::string copy = line;
            std::vector<shell::SImportField> texts(static_cast<std::size_t>(nColumns));
            int lineNumber = 0;
            check(shell::cutImportFields(copy.data(), copy.size(), separator[0], nColumns,
                                         texts.data(), &lineNumber) == -1);
            check(copy == line && lineNumber == 0);
        }
        // Lines with NUL bytes are cut short by the zero-terminated fields; skip comparing them.
        if (line.find('\0') == std::string::npos && separator.find('\0') == std::string::npos) {
            Cut slow = cutLine(line, quotes == 0 ? 1 : quotes, separator, nColumns);
            if (k == 1) {
                std::string copy = line;
                std::vector<shell::SImportField> texts(static_cast<std::size_t>(nColumns));
                int lineNumber = 0;
                int found = shell::cutImportFields(copy.data(), copy.size(), separator[0], nColumns,
                                                   texts.data(), &lineNumber);
                check(found == slow.found && lineNumber == slow.lineNumber);
                for (int i = 0; i < found && i < nColumns; ++i) {
                    check(std::string(texts[i].pText, texts[i].nLength) == slow.fields[i]);
                }
            }
            if (quotes == 0) {
                Cut fast = cutLine(line, 0, separator, nColumns);
                check(fast.found == slow.found);
                check(fast.fields == slow.fields);
                check(slow.lineNumber == 0);
            }
        }
        ++index;
    }
    check(index == expected.size());
    std::fclose(stream);
    checkEscapedRows(std::string_view(file, fileSize));
    checkRowStatements(std::string_view(file, fileSize));
    return 0;
}
