// Finding text in a session's scan lines. Lines are the package's bytes in the ANSI code page;
// they are searched as the view shows them (converted to UTF-16), so a Chinese search text
// never matches half of one character and the tail of the next. Letters A to Z match either
// case; everything else must match exactly. No Qt; any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvel {

// One occurrence: line index, and start and length in UTF-16 code units of the converted line.
struct ScanMatch {
    size_t nLine = 0;
    size_t nColumn = 0;
    size_t nLength = 0;
    bool operator==(const ScanMatch&) const = default;
};

// Where a search begins: a line index and a UTF-16 column in it.
struct SearchStart {
    size_t nLine = 0;
    size_t nColumn = 0;
};

// The first occurrence of needle starting at or after `start`, going on to the end of lines
// and then wrapping to the first line and on up to `start`. Nothing when needle is empty or
// occurs nowhere. A start beyond the last line begins at the first line.
std::optional<ScanMatch> FindNextMatch(const std::vector<std::string>& lines,
                                       std::u16string_view needle, SearchStart start);

// Where the next search begins for a user on page currentPage (from 1): just after lastMatch
// when it lies on that page, so searching again moves on to the following occurrence;
// otherwise (no earlier match, or the user has paged elsewhere) at the first line of the page.
SearchStart NextSearchStart(const std::optional<ScanMatch>& lastMatch, int currentPage);

}  // namespace morvel
