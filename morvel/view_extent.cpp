#include "morvel/view_extent.h"

#include <algorithm>
#include <climits>

namespace morvel {

size_t LongestLineLength(const std::vector<std::string>& lines) {
    size_t longest = 0;
    for (const std::string& line : lines) longest = std::max(longest, line.size());
    return longest;
}

std::optional<ViewExtent> WidenedExtent(size_t longestLine, int verticalBarWidth,
                                        int horizontalBarHeight) {
    const double width = static_cast<double>(longestLine) * kPixelsPerCharacter;
    if (!(verticalBarWidth < width)) return std::nullopt;
    // A line too long for an int extent is shown with the largest extent there is.
    const int truncated = width >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(width);
    return ViewExtent{truncated, horizontalBarHeight};
}

}  // namespace morvel
