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

}  // namespace

UINT win32::AnsiCodePage() {
    static const UINT page = CodePageFor(AnsiCodePageName());
    return page;
}

std::u16string win32::DecodeAnsi(std::string_view text, BadByteFn onBadByte) {
    const UINT page = AnsiCodePage();
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
        if (page == CP_UTF8) {
            // The lead-byte test below knows only double-byte pages.
            char32_t cp;
            std::size_t len;
            if (DecodeUtf8(text, i, &cp, &len)) {
                out += Utf8ToUtf16(text.substr(i, len));
                i += len;
            } else {
                onBadByte(c, out);
                ++i;
            }
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
            onBadByte(c, out);
        }
        ++i;
    }
    return out;
}

std::u16string AnsiToUtf16(std::string_view text) {
    // A byte that starts no valid character becomes one U+FFFD; the next is tried afresh.
    return win32::DecodeAnsi(
        text, [](unsigned char, std::u16string& out) { out.push_back(kReplacement); });
}

std::string Utf16ToAnsi(std::u16string_view text, bool* ok) {
    if (ok) *ok = true;
    const UINT page = win32::AnsiCodePage();
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

}  // namespace platform
