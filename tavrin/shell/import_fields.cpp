#include "tavrin/shell/import_fields.h"

#include <cstring>

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
    if (k == 1) {
        // Quoted stretches are skipped whole with memchr; the byte loop only sees what lies
        // between them. A record that holds no line feed (most do) needs no count inside them.
        const bool hasLineFeeds = std::memchr(line, '\n', length) != nullptr;
        char* p = line;
        while (p < end) {
            char c = *p;
            if (c == '"') {
                char* open = p + 1;
                auto* close =
                    static_cast<char*>(std::memchr(open, '"', static_cast<size_t>(end - open)));
                char* stop = close ? close : end;
                if (hasLineFeeds) {
                    for (char* n = open; (n = static_cast<char*>(
                                              std::memchr(n, '\n', static_cast<size_t>(stop - n))));
                         ++n) {
                        ++*lineNumber;
                    }
                }
                p = close ? close + 1 : end;
                continue;
            }
            if (c == '\n') {
                ++*lineNumber;
            } else if (c == sep0) {
                *p = '\0';
                if (++i < nColumns) fields[i] = p + 1;
            }
            ++p;
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

void unquoteField(char* field) {
    // Moves the stretches between quotes down in one piece each.
    char* out = field;
    char* in = field + 1;
    for (;;) {
        char* quote = std::strchr(in, '"');
        if (!quote) {
            std::memmove(out, in, std::strlen(in) + 1);
            return;
        }
        std::memmove(out, in, static_cast<size_t>(quote - in));
        out += quote - in;
        in = quote + 1;
        if (*in == '\0') break;
        *out++ = *in++;  // the byte after a quote stands as it is, a quote included
    }
    *out = '\0';
}
