#include "tavrin/shell/arguments.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace shell {

namespace {

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool equalsNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b))) {
            return false;
        }
    }
    return *a == *b;
}

}  // namespace

int splitArguments(char* text, char* azArg[kMaxArguments]) {
    int count = 0;
    char* p = text;
    while (*p && count < kMaxArguments) {
        while (isSpace(*p)) ++p;
        if (*p == '\0') break;
        if (*p == '\'' || *p == '"') {
            char quote = *p++;
            azArg[count++] = p;
            while (*p && *p != quote) ++p;
            if (*p == quote) *p++ = '\0';
            if (quote == '"') resolveEscapes(azArg[count - 1]);
        } else {
            azArg[count++] = p;
            while (*p && !isSpace(*p)) ++p;
            if (*p) *p++ = '\0';
            resolveEscapes(azArg[count - 1]);
        }
    }
    return count;
}

void resolveEscapes(char* text) {
    char* out = text;
    for (const char* in = text; *in; ++in) {
        char c = *in;
        if (c == '\\' && in[1] != '\0') {
            c = *++in;
            if (c == 'n') {
                c = '\n';
            } else if (c == 't') {
                c = '\t';
            } else if (c == 'r') {
                c = '\r';
            } else if (c >= '0' && c <= '7') {
                int value = c - '0';
                for (int i = 0; i < 2 && in[1] >= '0' && in[1] <= '7'; ++i) {
                    value = value * 8 + (*++in - '0');
                }
                c = static_cast<char>(value & 0xff);
            }
        }
        *out++ = c;
    }
    *out = '\0';
}

int parseBoolean(const char* text) {
    const char* p = text;
    while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
    if (p != text && *p == '\0') {
        // Clamped, so a long run of digits cannot overflow.
        long value = std::strtol(text, nullptr, 10);
        return value > 2147483647L ? 2147483647 : static_cast<int>(value);
    }
    if (equalsNoCase(text, "on") || equalsNoCase(text, "yes")) return 1;
    if (equalsNoCase(text, "off") || equalsNoCase(text, "no")) return 0;
    std::fprintf(stderr, "ERROR: Not a boolean value: \"%s\". Assuming \"no\".\n", text);
    return 0;
}

}  // namespace shell
