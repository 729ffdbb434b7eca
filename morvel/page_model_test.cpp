#include "morvel/page_model.h"

#include <gtest/gtest.h>

#include <climits>

#include "morvel/view_extent.h"

namespace morvel {

TEST(MorvelPageModel, PagesRoundUpAndThePagesHoldTheirLines) {
    EXPECT_EQ(PageCount(0), 0);
    EXPECT_EQ(PageCount(25), 1);
    EXPECT_EQ(PageCount(26), 2);
    std::vector<std::string> lines;
    for (int i = 0; i < 60; ++i) lines.push_back("line " + std::to_string(i));
    EXPECT_EQ(LinesOfPage(lines, 3).front(), "line 50");
    EXPECT_TRUE(LinesOfPage(lines, 4).empty());
    EXPECT_TRUE(LinesOfPage(lines, 0).empty());
    // Far beyond the end must not overflow into a valid range.
    EXPECT_TRUE(LinesOfPage(lines, INT_MAX).empty());
}

TEST(MorvelPageModel, TypedPageNumbersClampInsteadOfWrapping) {
    EXPECT_EQ(ParsePageNumber("  3"), 3);
    EXPECT_EQ(ParsePageNumber("4294967298"), INT_MAX);  // would wrap to 2 in 32 bits
    EXPECT_EQ(ParsePageNumber("-99999999999"), INT_MIN);
}

TEST(MorvelViewExtent, NoWiderThanAScrollBarLeavesTheExtentAsItIs) {
    EXPECT_FALSE(WidenedExtent(2, 15, 15));
    EXPECT_FALSE(WidenedExtent(0, 15, 15));
    ASSERT_TRUE(WidenedExtent(3, 15, 15));
    EXPECT_EQ(WidenedExtent(3, 15, 15)->nWidth, 21);
}

}  // namespace morvel
