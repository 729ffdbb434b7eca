// The viewer's page model: lines are shown 25 a page, pages counted from 1. No Qt; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace morvel {

inline constexpr int kLinesPerPage = 25;

// Number of pages for lineCount lines, rounded up; 0 lines (or fewer) give 0 pages.
int PageCount(long long lineCount);

// Index range [first, last) of page `page` among lineCount lines. A page before the first or
// beyond the last gives an empty range.
struct PageRange {
    long long first = 0;
    long long last = 0;
};
PageRange RangeOfPage(int page, long long lineCount);

// The lines of page `page` of lines, in order (empty beyond the last page).
std::vector<std::string> LinesOfPage(const std::vector<std::string>& lines, int page);

// The page (from 1) that holds the line with index lineIndex (from 0); clamped to INT_MAX.
int PageOfLine(size_t lineIndex);

// Which paging buttons are enabled at a page. The first-page and go buttons always are.
struct PagingButtons {
    bool bPrevious = false;  // page > 1
    bool bNext = false;      // page < pageCount
};
PagingButtons ButtonsAt(int page, int pageCount);

// Reads a typed page number as decimal text: leading blanks skipped, an optional sign, then
// digits up to the first other character; no digits give 0. A value beyond the int range is
// clamped to it, so it is out of range as a page rather than wrapping into one.
int ParsePageNumber(std::string_view text);

// True when page is a page that exists (1 to pageCount).
inline bool IsPageInRange(int page, int pageCount) {
    return page >= 1 && page <= pageCount;
}

}  // namespace morvel
