#include "tavrin/shell/row_format.h"

#include <sqlite3.h>

#include <cctype>
#include <cstring>

#include "tavrin/shell/shell_state.h"

namespace shell {

namespace {

int textLength(const char* text) {
    return text ? static_cast<int>(std::strlen(text)) : 0;
}

void writeHtmlEscaped(std::FILE* out, const char* text) {
    for (const char* p = text; *p; ++p) {
        switch (*p) {
            case '<':
                std::fputs("&lt;", out);
                break;
            case '&':
                std::fputs("&amp;", out);
                break;
            case '>':
                std::fputs("&gt;", out);
                break;
            case '"':
                std::fputs("&quot;", out);
                break;
            case '\'':
                std::fputs("&#39;", out);
                break;
            default:
                std::fputc(*p, out);
                break;
        }
    }
}

bool csvNeedsQuote(unsigned char c) {
    return c < 33 || c == '"' || c == '\'' || c >= 127;
}

void writeCsvField(const ShellState& state, std::FILE* out, const char* text, bool withSep) {
    if (!text) {
        std::fputs(state.m_strNullValue.c_str(), out);
    } else {
        const std::string& sep = state.m_strSeparator;
        bool quote = sep.size() > 1 && std::strncmp(text, sep.c_str(), sep.size()) == 0;
        for (const char* p = text; !quote && *p; ++p) {
            unsigned char c = static_cast<unsigned char>(*p);
            quote = csvNeedsQuote(c) || (sep.size() == 1 && *p == sep[0]);
        }
        if (quote) {
            std::fputc('"', out);
            for (const char* p = text; *p; ++p) {
                if (*p == '"') std::fputc('"', out);
                std::fputc(*p, out);
            }
            std::fputc('"', out);
        } else {
            std::fputs(text, out);
        }
    }
    if (withSep) std::fputs(state.m_strSeparator.c_str(), out);
}

// Column and explain modes: widths are settled on the first row of each statement.
void formatColumns(ShellState& s, std::FILE* out, int n, char** values, char** names) {
    auto cell = [out](int w, const char* text, bool last) {
        if (w < 0) {
            std::fprintf(out, "%*.*s%s", -w, -w, text, last ? "\n" : "  ");
        } else {
            std::fprintf(out, "%-*.*s%s", w, w, text, last ? "\n" : "  ");
        }
    };
    if (s.m_nRowCount++ == 0) {
        for (int i = 0; i < n; ++i) {
            int w = 10;
            if (i < kShellWidthCount) {
                w = s.m_aWidth[i];
                if (w == 0) {
                    w = textLength(names[i]);
                    if (w < 10) w = 10;
                    int valueLength =
                        textLength(values && values[i] ? values[i] : s.m_strNullValue.c_str());
                    if (w < valueLength) w = valueLength;
                }
                s.m_aActualWidth[i] = w;
            }
            if (s.m_bHeaders) cell(w, names[i] ? names[i] : "", i == n - 1);
        }
        if (s.m_bHeaders) {
            for (int i = 0; i < n; ++i) {
                int w = i < kShellWidthCount ? s.m_aActualWidth[i] : 10;
                if (w < 0) w = -w;
                for (int k = 0; k < w; ++k) std::fputc('-', out);
                std::fputs(i == n - 1 ? "\n" : "  ", out);
            }
        }
    }
    if (!values) return;
    for (int i = 0; i < n; ++i) {
        int w = i < kShellWidthCount ? s.m_aActualWidth[i] : 10;
        const char* text = values[i] ? values[i] : s.m_strNullValue.c_str();
        if (s.m_nMode == kModeExplain) {
            int length = textLength(text);
            if (length > (w < 0 ? -w : w)) w = w < 0 ? -length : length;
        }
        cell(w, text, i == n - 1);
    }
}

}  // namespace

void writeQuotedString(std::FILE* out, const char* text) {
    std::fputc('\'', out);
    for (const char* p = text; *p; ++p) {
        if (*p == '\'') std::fputc('\'', out);
        std::fputc(*p, out);
    }
    std::fputc('\'', out);
}

void writeCString(std::FILE* out, const char* text) {
    std::fputc('"', out);
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        unsigned char c = *p;
        if (c == '\\') {
            std::fputs("\\\\", out);
        } else if (c == '\t') {
            std::fputs("\\t", out);
        } else if (c == '\n') {
            std::fputs("\\n", out);
        } else if (c == '\r') {
            std::fputs("\\r", out);
        } else if (c == '"') {
            std::fputs("\\\"", out);
        } else if (c < 0x20 || c >= 0x7f) {
            std::fprintf(out, "\\%03o", c);
        } else {
            std::fputc(c, out);
        }
    }
    std::fputc('"', out);
}

void writeBlobLiteral(std::FILE* out, const void* data, int size) {
    static const char kHex[] = "0123456789abcdef";
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    std::fputs("X'", out);
    for (int i = 0; i < size; ++i) {
        std::fputc(kHex[bytes[i] >> 4], out);
        std::fputc(kHex[bytes[i] & 15], out);
    }
    std::fputc('\'', out);
}

bool looksLikeNumber(const char* text) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const char* p = text;
    if (*p == '-' || *p == '+') ++p;
    if (!digit(*p)) return false;
    while (digit(*p)) ++p;
    if (*p == '.') {
        ++p;
        if (!digit(*p)) return false;
        while (digit(*p)) ++p;
    }
    if (*p == 'e' || *p == 'E') {
        ++p;
        if (*p == '-' || *p == '+') ++p;
        if (!digit(*p)) return false;
        while (digit(*p)) ++p;
    }
    return *p == '\0';
}

int formatRow(ShellState* state, int n, char** values, char** names, int* types) {
    ShellState& s = *state;
    std::FILE* out = s.out();
    const char* nullText = s.m_strNullValue.c_str();
    const char* sep = s.m_strSeparator.c_str();
    auto value = [&](int i) { return values[i] ? values[i] : nullText; };
    auto name = [&](int i) { return names[i] ? names[i] : ""; };

    switch (s.m_nMode) {
        case kModeLine: {
            if (!values) break;
            int w = 5;
            for (int i = 0; i < n; ++i) {
                int length = textLength(names[i]);
                if (length > w) w = length;
            }
            if (s.m_nRowCount++ > 0) std::fputc('\n', out);
            for (int i = 0; i < n; ++i) std::fprintf(out, "%*s = %s\n", w, name(i), value(i));
            break;
        }
        case kModeColumn:
        case kModeExplain:
            formatColumns(s, out, n, values, names);
            break;
        case kModeList:
        case kModeSemi:
            if (s.m_nRowCount++ == 0 && s.m_bHeaders) {
                for (int i = 0; i < n; ++i) {
                    std::fputs(name(i), out);
                    std::fputs(i == n - 1 ? "\n" : sep, out);
                }
            }
            if (!values) break;
            for (int i = 0; i < n; ++i) {
                std::fputs(value(i), out);
                if (i < n - 1) {
                    std::fputs(sep, out);
                } else {
                    std::fputs(s.m_nMode == kModeSemi ? ";\n" : "\n", out);
                }
            }
            break;
        case kModeHtml:
            if (s.m_nRowCount++ == 0 && s.m_bHeaders) {
                std::fputs("<TR>", out);
                for (int i = 0; i < n; ++i) {
                    std::fputs("<TH>", out);
                    writeHtmlEscaped(out, name(i));
                    std::fputs("</TH>\n", out);
                }
                std::fputs("</TR>\n", out);
            }
            if (!values) break;
            std::fputs("<TR>", out);
            for (int i = 0; i < n; ++i) {
                std::fputs("<TD>", out);
                writeHtmlEscaped(out, value(i));
                std::fputs("</TD>\n", out);
            }
            std::fputs("</TR>\n", out);
            break;
        case kModeTcl:
            if (s.m_nRowCount++ == 0 && s.m_bHeaders) {
                for (int i = 0; i < n; ++i) {
                    writeCString(out, name(i));
                    if (i < n - 1) std::fputs(sep, out);
                }
                std::fputc('\n', out);
            }
            if (!values) break;
            for (int i = 0; i < n; ++i) {
                writeCString(out, value(i));
                if (i < n - 1) std::fputs(sep, out);
            }
            std::fputc('\n', out);
            break;
        case kModeCsv:
            if (s.m_nRowCount++ == 0 && s.m_bHeaders) {
                for (int i = 0; i < n; ++i) writeCsvField(s, out, name(i), i < n - 1);
                std::fputc('\n', out);
            }
            if (!values) break;
            for (int i = 0; i < n; ++i) writeCsvField(s, out, values[i], i < n - 1);
            std::fputc('\n', out);
            break;
        case kModeInsert: {
            s.m_nRowCount++;
            if (!values) break;
            std::fprintf(out, "INSERT INTO %s VALUES(", s.m_strDestTable.c_str());
            for (int i = 0; i < n; ++i) {
                const char* comma = i > 0 ? "," : "";
                int type = types ? types[i] : 0;
                if (!values[i] || type == SQLITE_NULL) {
                    std::fprintf(out, "%sNULL", comma);
                } else if (type == SQLITE_TEXT) {
                    std::fputs(comma, out);
                    writeQuotedString(out, values[i]);
                } else if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
                    std::fprintf(out, "%s%s", comma, values[i]);
                } else if (type == SQLITE_BLOB && s.m_pCurrentStatement) {
                    std::fputs(comma, out);
                    writeBlobLiteral(out, sqlite3_column_blob(s.m_pCurrentStatement, i),
                                     sqlite3_column_bytes(s.m_pCurrentStatement, i));
                } else if (looksLikeNumber(values[i])) {
                    std::fprintf(out, "%s%s", comma, values[i]);
                } else {
                    std::fputs(comma, out);
                    writeQuotedString(out, values[i]);
                }
            }
            std::fputs(");\n", out);
            break;
        }
        default:
            break;
    }
    return 0;
}

}  // namespace shell
