// Fuzz target: the line rewrites of the dump conversions and the line classification of the
// SQL dump split. Each rewrite may only do its one kind of change (the INSERT rewrite only
// adds apostrophes, the doubled-quote rewrite only turns a backslash before a quote into a
// quote, the strip rewrite only removes backslashes and quotes, exactly as a plain
// byte-by-byte reading of its pairing rule does, the AUTO_INCREMENT removal only removes whole
// words), and the split must route every line by its first two bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "common/testing/temp_folder.h"
#include "fuzz/fuzz_check.h"
#include "tavrin/workspace/sql_dump_conversion.h"

using fuzz_support::check;

namespace {

std::string Without(std::string_view text, char drop) {
    std::string out;
    for (char c : text) {
        if (c != drop) out.push_back(c);
    }
    return out;
}

// True when small can be obtained from big by removing bytes only.
bool IsSubsequence(std::string_view small, std::string_view big) {
    std::size_t j = 0;
    for (char c : big) {
        if (j < small.size() && small[j] == c) ++j;
    }
    return j == small.size();
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The lines of text cut at LF, with one CR before each LF dropped; a last line without LF
// counts when it is not empty.
std::vector<std::string> InputLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        std::size_t stop = end;
        if (lf != std::string_view::npos && stop > start && text[stop - 1] == '\r') --stop;
        lines.emplace_back(text.substr(start, stop - start));
        if (lf == std::string_view::npos) break;
        start = lf + 1;
    }
    return lines;
}

std::size_t CountOutputLines(std::string_view text) {
    std::size_t n = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        ++n;
        if (end == std::string_view::npos) break;
        start = end + 2;
    }
    return n;
}

// The quote stripping read plainly: a backslash takes the byte after it; \" goes, \\ leaves one
// backslash, any other pair (and a backslash at the end) stays as written.
std::string StrippedByteByByte(std::string_view line) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 == line.size()) {
            out.push_back(line[i]);
            continue;
        }
        const char next = line[++i];
        if (next == '"') continue;
        if (next != '\\') out.push_back('\\');
        out.push_back(next);
    }
    return out;
}

void CheckLineRewrites(std::string_view line) {
    std::string out;
    workspace::AppendInsertRewrite(line, out);
    check(out.size() >= line.size());
    check(Without(out, '\'') == Without(line, '\''));

    out.clear();
    workspace::AppendDoubledQuotesRewrite(line, out);
    check(out.size() == line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (out[i] == line[i]) continue;
        check(line[i] == '\\' && out[i] == '"' && i + 1 < line.size() && line[i + 1] == '"');
    }

    out.clear();
    workspace::AppendStrippedQuotesRewrite(line, out);
    check(out.size() <= line.size());
    check(IsSubsequence(out, line));
    check(Without(Without(out, '\\'), '"') == Without(Without(line, '\\'), '"'));
    check(out == StrippedByteByByte(line));

    out.clear();
    workspace::AppendWithoutAutoIncrement(line, out);
    check(IsSubsequence(out, line));
    check((line.size() - out.size()) % 14 == 0);
}

// Runs SplitSqlDump on the bytes and checks where every line went.
void CheckSplit(std::string_view dump) {
    // One scratch folder per process, removed at exit.
    static const common::test::CTempFolder scratch("dump_rewrites_fuzz_");
    const std::filesystem::path& folder = scratch.Path();
    const std::filesystem::path source = folder / "sub_table_sms.sql";
    const std::filesystem::path rows = folder / "mysql.sql";
    const std::filesystem::path definitions = folder / "mysql1.sql";
    {
        std::ofstream out(source, std::ios::binary | std::ios::trunc);
        out.write(dump.data(), static_cast<std::streamsize>(dump.size()));
    }
    check(workspace::SplitSqlDump(source.string(), rows.string(), definitions.string()));

    std::size_t inserts = 0;
    std::size_t defs = 0;
    for (const std::string& line : InputLines(dump)) {
        std::string_view head = std::string_view(line).substr(0, 2);
        if (head == "IN") {
            ++inserts;
        } else if (head == "CR" || head == "  " || head == ") ") {
            ++defs;
        }
    }
    const std::string rowText = ReadAll(rows);
    const std::string defText = ReadAll(definitions);
    check(CountOutputLines(rowText) == inserts);
    check(CountOutputLines(defText) == defs);
    for (std::size_t start = 0; start < rowText.size();) {
        check(rowText.compare(start, 2, "IN") == 0);
        std::size_t end = rowText.find("\r\n", start);
        if (end == std::string::npos) break;
        start = end + 2;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const std::string& line : InputLines(input)) CheckLineRewrites(line);
    CheckSplit(input);
    return 0;
}
