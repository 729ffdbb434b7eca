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
    char* out = field;
    for (char* in = field + 1; *in; ++in) {
        if (*in == '"') {
            ++in;
            if (*in == '\0') break;
        }
        *out++ = *in;
    }
    *out = '\0';
}
