#include "morvel/page_model.h"

#include <gtest/gtest.h>

#include <climits>

#include "morvel/view_extent.h"

TEST(MorvelPageModel, PagesRoundUpAndZeroLinesGiveZeroPages) {
    EXPECT_EQ(PageCount(0), 0);
    EXPECT_EQ(PageCount(1), 1);
    EXPECT_EQ(PageCount(25), 1);
    EXPECT_EQ(PageCount(26), 2);
    EXPECT_EQ(PageCount(60), 3);
}

TEST(MorvelPageModel, PagesHoldTwentyFiveLinesAndTheLastTheRest) {
    std::vector<std::string> lines;
    for (int i = 0; i < 60; ++i) lines.push_back("line " + std::to_string(i));
    auto page1 = LinesOfPage(lines, 1);
    ASSERT_EQ(page1.size(), 25u);
    EXPECT_EQ(page1.front(), "line 0");
    auto page3 = LinesOfPage(lines, 3);
    ASSERT_EQ(page3.size(), 10u);
    EXPECT_EQ(page3.front(), "line 50");
    EXPECT_EQ(page3.back(), "line 59");
    EXPECT_TRUE(LinesOfPage(lines, 4).empty());
    EXPECT_TRUE(LinesOfPage(lines, 0).empty());
    EXPECT_TRUE(LinesOfPage({}, 1).empty());
    // Far beyond the end must not overflow into a valid range.
    EXPECT_TRUE(LinesOfPage(lines, INT_MAX).empty());
}

TEST(MorvelPageModel, ButtonStatesFollowThePage) {
    EXPECT_FALSE(ButtonsAt(1, 3).bPrevious);
    EXPECT_TRUE(ButtonsAt(1, 3).bNext);
    EXPECT_TRUE(ButtonsAt(3, 3).bPrevious);
    EXPECT_FALSE(ButtonsAt(3, 3).bNext);
    EXPECT_FALSE(ButtonsAt(1, 1).bNext);
    EXPECT_FALSE(ButtonsAt(1, 0).bPrevious);
    EXPECT_FALSE(ButtonsAt(1, 0).bNext);
}

TEST(MorvelPageModel, TypedPageNumbersReadAsDecimalPrefix) {
    EXPECT_EQ(ParsePageNumber("02"), 2);
    EXPECT_EQ(ParsePageNumber("2x"), 2);
    EXPECT_EQ(ParsePageNumber("x2"), 0);
    EXPECT_EQ(ParsePageNumber("  3"), 3);
    EXPECT_EQ(ParsePageNumber(""), 0);
    EXPECT_EQ(ParsePageNumber("-1"), -1);
    // Overflow clamps instead of wrapping around to a small page number.
    EXPECT_EQ(ParsePageNumber("4294967298"), INT_MAX);
    EXPECT_EQ(ParsePageNumber("-99999999999"), INT_MIN);
    EXPECT_FALSE(IsPageInRange(ParsePageNumber("4294967298"), 3));
    EXPECT_FALSE(IsPageInRange(0, 0));
    EXPECT_TRUE(IsPageInRange(3, 3));
}

TEST(MorvelViewExtent, WidthFollowsTheLongestLineAtSevenPointOneFivePixels) {
    EXPECT_EQ(LongestLineLength({"ab", std::string(100, 'x'), ""}), 100u);
    EXPECT_EQ(LongestLineLength({}), 0u);
    auto wide = WidenedExtent(100, 15, 15);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->nWidth, 715);
    EXPECT_EQ(wide->nHeight, 15);
    auto narrow = WidenedExtent(10, 15, 15);
    ASSERT_TRUE(narrow);
    EXPECT_EQ(narrow->nWidth, 71);
    // Not wider than a vertical scroll bar: the extent is left as it is.
    EXPECT_FALSE(WidenedExtent(2, 15, 15));
    EXPECT_FALSE(WidenedExtent(0, 15, 15));
}
