#include "platform/codepage.h"

#include "platform/system_win32.h"

#include <cctype>
#include <cstdlib>

namespace platform {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// The Windows code page for an encoding name as iconv would know it: GBK unless told
// otherwise (TAVRIN_ANSI_CODEPAGE may also give the number itself, or "CPnnn").
UINT CodePageFor(const std::string& name) {
    std::string upper;
    for (char c : name)
        if (c != '-' && c != '_')
            upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    if (upper == "GBK" || upper == "CP936" || upper == "GB2312" || upper == "936") return 936;
    if (upper == "UTF8" || upper == "CP65001") return CP_UTF8;
    if (upper == "BIG5" || upper == "CP950") return 950;
    if (upper == "SHIFTJIS" || upper == "SJIS" || upper == "CP932") return 932;
    if (upper == "ISO88591" || upper == "LATIN1") return 28591;
    const char* digits = upper.c_str();
    if (upper.rfind("CP", 0) == 0) digits += 2;
    char* end = nullptr;
    const unsigned long number = std::strtoul(digits, &end, 10);
    if (end && *end == '\0' && number > 0 && number < 65536 && IsValidCodePage(number))
        return static_cast<UINT>(number);
    return 936;
}

UINT AnsiCodePage() {
    static const UINT page = CodePageFor(AnsiCodePageName());
    return page;
}

// Decodes one UTF-8 sequence at text[i]: its code point and length, or false when the byte
// there starts no valid sequence (overlong forms and surrogates included).
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

// Bytes of the multi-byte code page page to UTF-16, strictly: a byte that starts no valid
// character becomes one U+FFFD and the next byte is tried afresh.
std::u16string DecodeCodePage(UINT page, std::string_view text) {
    std::u16string out;
    if (text.empty()) return out;
    // Whole text first: nearly always valid, and one call is far cheaper than one a character.
    if (text.size() < 0x7FFFFFFF) {
        const int n = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data(),
                                          static_cast<int>(text.size()), nullptr, 0);
        if (n > 0) {
            out.resize(static_cast<std::size_t>(n));
            MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data(),
                                static_cast<int>(text.size()),
                                reinterpret_cast<wchar_t*>(out.data()), n);
            return out;
        }
    }
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        wchar_t unit[2];
        int n = 0;
        if (IsDBCSLeadByteEx(page, c) && i + 1 < text.size())
            n = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data() + i, 2, unit, 2);
        if (n > 0) {
            out.append(reinterpret_cast<const char16_t*>(unit), static_cast<std::size_t>(n));
            i += 2;
            continue;
        }
        n = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data() + i, 1, unit, 2);
        if (n > 0 && !IsDBCSLeadByteEx(page, c)) {
            out.append(reinterpret_cast<const char16_t*>(unit), static_cast<std::size_t>(n));
        } else {
            out.push_back(kReplacement);
        }
        ++i;
    }
    return out;
}

}  // namespace

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

std::u16string AnsiToUtf16(std::string_view text) {
    const UINT page = AnsiCodePage();
    if (page == CP_UTF8) return Utf8ToUtf16(text);
    return DecodeCodePage(page, text);
}

std::string Utf16ToAnsi(std::u16string_view text, bool* ok) {
    if (ok) *ok = true;
    const UINT page = AnsiCodePage();
    if (page == CP_UTF8) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char16_t c = text[i];
            const bool high = c >= 0xD800 && c <= 0xDBFF;
            if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                ++i;
            } else if (c >= 0xD800 && c <= 0xDFFF && ok) {
                *ok = false;
            }
        }
        return Utf16ToUtf8(text);
    }
    std::string out;
    if (text.empty()) return out;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    // No best-fit mapping: a character the code page lacks becomes '?', never a look-alike.
    const int n = WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, "?",
                                      &usedDefault);
    if (n <= 0) {
        if (ok) *ok = false;
        return std::string(text.size(), '?');
    }
    out.resize(static_cast<std::size_t>(n));
    usedDefault = FALSE;
    WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, wide, length, out.data(), n, "?", &usedDefault);
    if (usedDefault && ok) *ok = false;
    return out;
}

std::string AnsiToUtf8(std::string_view text) {
    return Utf16ToUtf8(AnsiToUtf16(text));
}

std::string Utf8ToAnsi(std::string_view text, bool* ok) {
    return Utf16ToAnsi(Utf8ToUtf16(text), ok);
}

}  // namespace platform
