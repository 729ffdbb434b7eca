#include "tavrin/browser/paging.h"

#include <gtest/gtest.h>

namespace {

using namespace browser;

struct Expect {
    int total;
    int pages;
    bool next;
};

TEST(Paging, CountGivesPagesAndButtons) {
    // total / 15 + 1: a multiple of 15 leaves an empty last page.
    for (Expect e : {Expect{0, 1, false}, Expect{14, 1, false}, Expect{15, 2, true},
                     Expect{16, 2, true}, Expect{30, 3, true}, Expect{1000000, 66667, true}}) {
        PageState s = StartPagingState(e.total);
        EXPECT_EQ(e.total, s.nTotalRows);
        EXPECT_EQ(e.pages, s.nPageCount) << e.total;
        EXPECT_EQ(1, s.nCurPage);
        PageButtons b = StartPagingButtons(s);
        EXPECT_FALSE(b.bPrev);
        EXPECT_EQ(e.next, b.bNext) << e.total;
        EXPECT_EQ(e.next, b.bGoto) << e.total;
    }
}

TEST(Paging, NextWalksToTheLastPageThenStops) {
    PageState s = StartPagingState(30);
    std::optional<PageMove> m = NextPageMove(s);
    ASSERT_TRUE(m);
    EXPECT_EQ(15, m->nOffset);
    EXPECT_EQ(2, m->state.nCurPage);
    EXPECT_TRUE(m->buttons.bPrev);
    EXPECT_TRUE(m->buttons.bNext);
    m = NextPageMove(m->state);
    ASSERT_TRUE(m);
    EXPECT_EQ(30, m->nOffset);  // the empty third page
    EXPECT_EQ(3, m->state.nCurPage);
    EXPECT_FALSE(m->buttons.bNext);
    EXPECT_FALSE(NextPageMove(m->state));
    EXPECT_FALSE(PrevPageMove(StartPagingState(30)));
}

TEST(Paging, PreviousFromPageTwoShowsOffsetZero) {
    std::optional<PageMove> next = NextPageMove(StartPagingState(16));
    ASSERT_TRUE(next);
    EXPECT_FALSE(next->buttons.bNext);
    std::optional<PageMove> prev = PrevPageMove(next->state);
    ASSERT_TRUE(prev);
    EXPECT_EQ(0, prev->nOffset);
    EXPECT_EQ(1, prev->state.nCurPage);
    EXPECT_FALSE(prev->buttons.bPrev);
    EXPECT_TRUE(prev->buttons.bNext);
}

TEST(Paging, GotoChecksAndMoves) {
    PageState s = StartPagingState(45);  // 4 pages
    EXPECT_EQ(GotoCheck::Ok, CheckGotoPage(s, ParsePageNumber("2x")));
    PageMove m = GotoPageMove(s, 2);
    EXPECT_EQ(15, m.nOffset);
    EXPECT_TRUE(m.buttons.bPrev);
    EXPECT_TRUE(m.buttons.bNext);
    m = GotoPageMove(s, 4);
    EXPECT_EQ(45, m.nOffset);
    EXPECT_FALSE(m.buttons.bNext);
    EXPECT_EQ(GotoCheck::BeyondLast, CheckGotoPage(s, 5));
    EXPECT_EQ(GotoCheck::NotPositive, CheckGotoPage(s, ParsePageNumber("-1")));
    EXPECT_EQ(GotoCheck::NotPositive, CheckGotoPage(s, ParsePageNumber("")));
    EXPECT_EQ(GotoCheck::NotPositive, CheckGotoPage(s, ParsePageNumber("abc")));
    EXPECT_EQ(GotoCheck::NotPositive, CheckGotoPage(s, 0));
}

TEST(Paging, PageNumberReadsLeadingDigitsOfNineCharacters) {
    EXPECT_EQ(12, ParsePageNumber("  12abc"));
    EXPECT_EQ(7, ParsePageNumber("+7"));
    EXPECT_EQ(-3, ParsePageNumber("-3"));
    EXPECT_EQ(123456789, ParsePageNumber("1234567890123"));
    EXPECT_EQ(1, ParsePageNumber("000000001999"));
    EXPECT_EQ(0, ParsePageNumber("- 5"));
}

TEST(Paging, LabelTexts) {
    EXPECT_EQ(u"Total 30 rows", TotalLabel(u"Total", 30, u"rows"));
    EXPECT_EQ(u"/ 3 pages", PagesLabel(3, u"pages"));
    EXPECT_EQ(u"12", PageNumberText(12));
}

}  // namespace
