#include "common/viewer_find_field.h"

#include <limits>

namespace common {

namespace {

constexpr std::string_view kPrefix = "find:";
constexpr char kHex[] = "0123456789ABCDEF";

bool NeedsEscape(unsigned char c) {
    return c <= 0x20 || c >= 0x7F || c == '%' || c == '~' || c == ':';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string EncodeViewerFindField(const SViewerFind& find) {
    std::string field(kPrefix);
    field += std::to_string(find.nFromLine < 0 ? 0 : find.nFromLine);
    field.push_back(':');
    for (unsigned char c : find.strTextUtf8) {
        if (NeedsEscape(c)) {
            field.push_back('%');
            field.push_back(kHex[c >> 4]);
            field.push_back(kHex[c & 0xF]);
        } else {
            field.push_back(static_cast<char>(c));
        }
    }
    return field;
}

std::optional<SViewerFind> DecodeViewerFindField(std::string_view field) {
    if (field.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    field.remove_prefix(kPrefix.size());
    const size_t colon = field.find(':');
    if (colon == 0 || colon == std::string_view::npos) return std::nullopt;
    SViewerFind find;
    for (char c : field.substr(0, colon)) {
        if (c < '0' || c > '9') return std::nullopt;
        if (find.nFromLine > (std::numeric_limits<std::int64_t>::max() - 9) / 10)
            return std::nullopt;
        find.nFromLine = find.nFromLine * 10 + (c - '0');
    }
    const std::string_view text = field.substr(colon + 1);
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            find.strTextUtf8.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else if (NeedsEscape(c)) {
            return std::nullopt;
        } else {
            find.strTextUtf8.push_back(static_cast<char>(c));
        }
    }
    if (find.strTextUtf8.empty()) return std::nullopt;
    return find;
}

}  // namespace common
