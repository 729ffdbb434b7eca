#include "tavrin/shell/import_fields.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "tavrin/shell/byte_scan.h"

namespace shell {

int splitImportFields(char* line, std::size_t length, std::size_t quoteCount,
                      std::string_view separator, int nColumns, char** fields, int* lineNumber) {
    const std::size_t k = separator.size();
    const char sep0 = separator[0];
    const char* sepText = separator.data();
    char* end = line + length;
    int i = 0;
    if (nColumns > 0) fields[0] = line;
    if (quoteCount == 0) {
        // No quotes, so no quoted separators and no line feeds: jump between separators.
        char* p = line;
        while (p < end &&
               (p = static_cast<char*>(std::memchr(p, sep0, static_cast<size_t>(end - p))))) {
            if (k > 1 && (static_cast<size_t>(end - p) < k || std::memcmp(p, sepText, k) != 0)) {
                ++p;
                continue;
            }
            *p = '\0';
            p += k;
            if (++i < nColumns) fields[i] = p;
        }
        return i + 1;
    }
    bool inQuote = false;
    for (char* p = line; p < end; ++p) {
        char c = *p;
        if (c == '"') {
            inQuote = !inQuote;
        } else if (c == '\n') {
            ++*lineNumber;
        } else if (!inQuote && c == sep0 &&
                   (k == 1 ||
                    (static_cast<size_t>(end - p) >= k && std::memcmp(p, sepText, k) == 0))) {
            *p = '\0';
            if (++i < nColumns) fields[i] = p + k;
            p += k - 1;
        }
    }
    return i + 1;
}

namespace {

// unquoteField on a field of known length that begins with '"' and holds no zero byte;
// returns the new length.
std::size_t unquoteBytes(char* field, std::size_t length) {
    char* out = field;
    char* in = field + 1;
    char* end = field + length;
    for (;;) {
        auto* quote = static_cast<char*>(std::memchr(in, '"', static_cast<size_t>(end - in)));
        if (!quote) {
            std::memmove(out, in, static_cast<size_t>(end - in));
            return static_cast<size_t>(out + (end - in) - field);
        }
        std::memmove(out, in, static_cast<size_t>(quote - in));
        out += quote - in;
        in = quote + 1;
        if (in == end) break;
        *out++ = *in++;  // the byte after a quote stands as it is, a quote included
    }
    return static_cast<size_t>(out - field);
}

// The text of a field that spans [start, start + length) and holds quotes '"'.
void finishField(char* start, std::size_t length, std::size_t quotes, SImportField* field) {
    if (length > 0 && start[0] == '"') {
        if (quotes == 2 && length >= 2 && start[length - 1] == '"') {
            // The usual "text": only the two quotes around it to drop, nothing to move.
            field->pText = start + 1;
            field->nLength = length - 2;
            return;
        }
        length = unquoteBytes(start, length);
    }
    field->pText = start;
    field->nLength = length;
}

}  // namespace

int cutImportFields(char* line, std::size_t length, char separator, int nColumns,
                    SImportField* fields, int* lineNumber) {
    // First pass: where the fields end. Nothing is written until the line is known to hold no
    // zero byte, so that the zero-terminated cut can still take it as it came.
    struct Cut {
        std::size_t nEnd;
        std::size_t nQuotes;
    };
    constexpr int kInline = 64;
    Cut inlineCuts[kInline];
    std::vector<Cut> moreCuts;
    Cut* cuts = inlineCuts;
    if (nColumns > kInline) {
        moreCuts.resize(static_cast<size_t>(nColumns));
        cuts = moreCuts.data();
    }
    int found = 0;  // separators seen outside quotes
    int lineFeeds = 0;
    std::size_t quotes = 0;  // in the current field
    bool inQuote = false;
    for (std::size_t base = 0; base < length; base += byte_scan::kBlock) {
        std::size_t n = length - base < byte_scan::kBlock ? length - base : byte_scan::kBlock;
        std::uint32_t mask = byte_scan::MatchMask(line + base, n, separator, '"', '\n', '\0');
        while (mask) {
            std::size_t pos = base + static_cast<size_t>(__builtin_ctz(mask));
            mask &= mask - 1;
            char c = line[pos];
            if (c == '"') {
                inQuote = !inQuote;
                ++quotes;
            } else if (c == '\n') {
                ++lineFeeds;
            } else if (c == '\0') {
                return -1;
            } else if (!inQuote) {  // the separator
                if (found < nColumns) cuts[found] = {pos, quotes};
                ++found;
                quotes = 0;
            }
        }
        // A separator that is also '"', '\n' or '\0' is taken as that byte, as in the cut
        // with zero-terminated fields, which tests the quote and the line feed first.
    }
    if (found < nColumns) cuts[found] = {length, quotes};
    *lineNumber += lineFeeds;
    int texts = found + 1 < nColumns ? found + 1 : nColumns;
    std::size_t start = 0;
    for (int i = 0; i < texts; ++i) {
        finishField(line + start, cuts[i].nEnd - start, cuts[i].nQuotes, &fields[i]);
        start = cuts[i].nEnd + 1;
    }
    return found + 1;
}

void unquoteField(char* field) {
    std::size_t length = unquoteBytes(field, std::strlen(field));
    field[length] = '\0';
}

}  // namespace shell
