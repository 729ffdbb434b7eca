#include "common/code_page_chars.h"

#include <string>

namespace common {

namespace {

bool InRange(unsigned char c, unsigned char lo, unsigned char hi) {
    return c >= lo && c <= hi;
}

std::size_t GbkLength(std::string_view t, bool fourByte) {
    const unsigned char lead = static_cast<unsigned char>(t[0]);
    if (!InRange(lead, 0x81, 0xFE) || t.size() < 2) return 1;
    const unsigned char second = static_cast<unsigned char>(t[1]);
    if (InRange(second, 0x40, 0xFE) && second != 0x7F) return 2;
    if (fourByte && t.size() >= 4 && InRange(second, 0x30, 0x39) &&
        InRange(static_cast<unsigned char>(t[2]), 0x81, 0xFE) &&
        InRange(static_cast<unsigned char>(t[3]), 0x30, 0x39))
        return 4;
    return 1;
}

std::size_t Utf8Length(std::string_view t) {
    const unsigned char lead = static_cast<unsigned char>(t[0]);
    std::size_t n = 1;
    unsigned char lo = 0x80, hi = 0xBF;  // bounds of the first continuation byte
    if (InRange(lead, 0xC2, 0xDF)) {
        n = 2;
    } else if (InRange(lead, 0xE0, 0xEF)) {
        n = 3;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (InRange(lead, 0xF0, 0xF4)) {
        n = 4;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        return 1;
    }
    if (t.size() < n) return 1;
    for (std::size_t i = 1; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (!InRange(c, i == 1 ? lo : 0x80, i == 1 ? hi : 0xBF)) return 1;
    }
    return n;
}

std::string Normalised(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (c == '-' || c == '_') continue;
        out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return out;
}

}  // namespace

CharScheme SchemeOfCodePage(std::string_view name) {
    const std::string n = Normalised(name);
    if (n == "GBK" || n == "CP936" || n == "GB2312" || n == "EUCCN" || n == "MS936" ||
        n == "WINDOWS936")
        return CharScheme::kGbk;
    if (n == "GB18030") return CharScheme::kGb18030;
    if (n == "UTF8") return CharScheme::kUtf8;
    return CharScheme::kSingleByte;
}

std::size_t CharLength(CharScheme scheme, std::string_view text) {
    if (text.empty()) return 0;
    switch (scheme) {
        case CharScheme::kGbk:
            return GbkLength(text, false);
        case CharScheme::kGb18030:
            return GbkLength(text, true);
        case CharScheme::kUtf8:
            return Utf8Length(text);
        case CharScheme::kSingleByte:
            break;
    }
    return 1;
}

}  // namespace common
