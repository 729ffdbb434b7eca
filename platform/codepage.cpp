// What the code-page conversions of every system share: the ANSI code page's name and the
// conversions between UTF-8 and UTF-16, which need no system service.
#include "platform/codepage.h"

#include <cstdlib>

namespace platform {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

bool DecodeUtf8(std::string_view text, std::size_t i, char32_t* cp, std::size_t* len) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
        *cp = c;
        *len = 1;
        return true;
    }
    std::size_t more;
    char32_t value;
    if (c >= 0xC2 && c <= 0xDF) {
        more = 1;
        value = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        more = 2;
        value = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        more = 3;
        value = c & 0x07;
    } else {
        return false;
    }
    if (i + more >= text.size()) return false;
    for (std::size_t k = 1; k <= more; ++k) {
        const unsigned char t = static_cast<unsigned char>(text[i + k]);
        if ((t & 0xC0) != 0x80) return false;
        value = (value << 6) | (t & 0x3F);
    }
    if ((more == 2 && value < 0x800) || (more == 3 && (value < 0x10000 || value > 0x10FFFF)) ||
        (value >= 0xD800 && value <= 0xDFFF))
        return false;
    *cp = value;
    *len = more + 1;
    return true;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp;
        std::size_t len;
        if (!DecodeUtf8(text, i, &cp, &len)) return false;
        i += len;
    }
    return true;
}

const std::string& AnsiCodePageName() {
    static const std::string name = [] {
        const char* env = std::getenv("TAVRIN_ANSI_CODEPAGE");
        return std::string(env && *env ? env : "GBK");
    }();
    return name;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp;
        std::size_t len;
        if (!DecodeUtf8(text, i, &cp, &len)) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string AnsiToUtf8(std::string_view text) {
    return Utf16ToUtf8(AnsiToUtf16(text));
}

std::string Utf8ToAnsi(std::string_view text, bool* ok) {
    return Utf16ToAnsi(Utf8ToUtf16(text), ok);
}

}  // namespace platform
