// The horizontal scroll extent of the text view: 7.15 pixels per character of the longest
// line on show. No Qt; any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace morvel {

inline constexpr double kPixelsPerCharacter = 7.15;

struct ViewExtent {
    int nWidth = 0;
    int nHeight = 0;
};

// Length in bytes of the longest line (0 for none).
size_t LongestLineLength(const std::vector<std::string>& lines);

// The extent the view takes for a page whose longest line has longestLine bytes, given the
// width of a vertical scroll bar and the height of a horizontal one: longestLine x 7.15
// truncated as the width and the horizontal bar's height as the height (so the view never
// scrolls vertically). Nothing when the width would not exceed the vertical bar's width: the
// extent stays as it is then.
std::optional<ViewExtent> WidenedExtent(size_t longestLine, int verticalBarWidth,
                                        int horizontalBarHeight);

}  // namespace morvel
