#include "morvel/text_search.h"

#include "morvel/page_model.h"
#include "platform/codepage.h"

namespace morvel {

namespace {

char16_t FoldAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// First occurrence of needle in text at or after from, or npos.
size_t FindFolded(std::u16string_view text, std::u16string_view needle, size_t from) {
    if (needle.size() > text.size()) return std::u16string_view::npos;
    for (size_t i = from; i + needle.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && FoldAscii(text[i + k]) == FoldAscii(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::u16string_view::npos;
}

// The line as the view shows it. Pure ASCII lines (most scan commands) are widened directly:
// every ANSI code page the appliance uses agrees with ASCII there, and it spares a conversion
// per line on long sessions.
std::u16string AsShown(const std::string& line) {
    for (unsigned char c : line)
        if (c >= 0x80) return platform::AnsiToUtf16(line);
    return std::u16string(line.begin(), line.end());
}

}  // namespace

std::optional<ScanMatch> FindNextMatch(const std::vector<std::string>& lines,
                                       std::u16string_view needle, SearchStart start) {
    if (needle.empty() || lines.empty()) return std::nullopt;
    if (start.nLine >= lines.size()) start = SearchStart{};
    // Lines from the start to the end, then from the first line round to the start line again
    // (whose part before the start column was not yet searched).
    for (size_t step = 0; step <= lines.size(); ++step) {
        const size_t line = (start.nLine + step) % lines.size();
        const size_t from = step == 0 ? start.nColumn : 0;
        const std::u16string text = AsShown(lines[line]);
        const size_t column = FindFolded(text, needle, from);
        if (column != std::u16string_view::npos) return ScanMatch{line, column, needle.size()};
    }
    return std::nullopt;
}

SearchStart NextSearchStart(const std::optional<ScanMatch>& lastMatch, int currentPage) {
    if (lastMatch && PageOfLine(lastMatch->nLine) == currentPage)
        return SearchStart{lastMatch->nLine, lastMatch->nColumn + lastMatch->nLength};
    const size_t page = currentPage < 1 ? 1 : static_cast<size_t>(currentPage);
    return SearchStart{(page - 1) * kLinesPerPage, 0};
}

}  // namespace morvel
