#include "morvel/page_model.h"

#include <algorithm>
#include <climits>

#include "common/decimal_text.h"

namespace morvel {

int PageCount(long long lineCount) {
    if (lineCount <= 0) return 0;
    long long pages = lineCount / kLinesPerPage + (lineCount % kLinesPerPage ? 1 : 0);
    return pages > INT_MAX ? INT_MAX : static_cast<int>(pages);
}

PageRange RangeOfPage(int page, long long lineCount) {
    PageRange range;
    if (page < 1 || lineCount <= 0) return range;
    const long long first = static_cast<long long>(page - 1) * kLinesPerPage;
    if (first >= lineCount) return range;
    range.first = first;
    range.last = std::min(first + kLinesPerPage, lineCount);
    return range;
}

std::vector<std::string> LinesOfPage(const std::vector<std::string>& lines, int page) {
    const PageRange range = RangeOfPage(page, static_cast<long long>(lines.size()));
    return std::vector<std::string>(lines.begin() + range.first, lines.begin() + range.last);
}

int PageOfLine(size_t lineIndex) {
    const size_t page = lineIndex / kLinesPerPage + 1;
    return page > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(page);
}

PagingButtons ButtonsAt(int page, int pageCount) {
    return PagingButtons{page > 1, page < pageCount};
}

int ParsePageNumber(std::string_view text) {
    return common::LeadingDecimal(text);
}

}  // namespace morvel
