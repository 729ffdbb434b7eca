#include "morvel/text_search.h"

#include <gtest/gtest.h>

#include "morvel/page_model.h"

namespace morvel {

namespace {
std::optional<ScanMatch> Find(const std::vector<std::string>& lines, std::u16string_view needle,
                              size_t line = 0, size_t column = 0) {
    return FindNextMatch(lines, needle, SearchStart{line, column});
}
}  // namespace

TEST(MorvelTextSearch, SearchingAgainMovesOnThroughEveryOccurrenceAndWraps) {
    const std::vector<std::string> lines = {"dir c:", "net user; net view", "", "NET time"};
    std::optional<ScanMatch> match = Find(lines, u"net");
    std::vector<ScanMatch> seen;
    for (int i = 0; i < 4 && match; ++i) {
        seen.push_back(*match);
        match = FindNextMatch(lines, u"net", {match->nLine, match->nColumn + match->nLength});
    }
    // Both occurrences of one line, the other case, then round to the first again.
    const std::vector<ScanMatch> expected = {{1, 0, 3}, {1, 10, 3}, {3, 0, 3}, {1, 0, 3}};
    EXPECT_EQ(seen, expected);

    // A single occurrence before the start is found by wrapping, also in the start line itself.
    EXPECT_EQ(Find(lines, u"dir", 2), (ScanMatch{0, 0, 3}));
    EXPECT_EQ(Find(lines, u"user", 1, 5), (ScanMatch{1, 4, 4}));
    // A start past the last line begins at the top.
    EXPECT_EQ(Find(lines, u"dir", 99, 7), (ScanMatch{0, 0, 3}));
}

TEST(MorvelTextSearch, NothingToFindGivesNoMatch) {
    EXPECT_FALSE(Find({"abc"}, u""));
    EXPECT_FALSE(Find({}, u"a"));
    EXPECT_FALSE(Find({"abc", ""}, u"abcd"));
    EXPECT_FALSE(Find({"abc"}, u"x", 0, 100));
}

TEST(MorvelTextSearch, ChineseTextMatchesWholeCharactersOnly) {
    // "查询用户 net" in GBK, and 中文 whose middle bytes D0 CE alone would spell 形.
    const std::vector<std::string> lines = {"\xB2\xE9\xD1\xAF\xD3\xC3\xBB\xA7 net",
                                            "\xD6\xD0\xCE\xC4"};
    EXPECT_EQ(Find(lines, u"用户"), (ScanMatch{0, 2, 2}));
    EXPECT_EQ(Find(lines, u"NET"), (ScanMatch{0, 5, 3}));
    EXPECT_FALSE(Find(lines, u"形"));
    // 乤 is 81 61 in GBK: its trail byte is an 'a' that neither case of a may match.
    const std::vector<std::string> trail = {"\x81\x61"};
    EXPECT_FALSE(Find(trail, u"a"));
    EXPECT_FALSE(Find(trail, u"A"));
    EXPECT_EQ(Find(trail, u"乤"), (ScanMatch{0, 0, 1}));
    // Bytes that are no character are searched past, not a reason to stop.
    EXPECT_EQ(Find({"\xFF\xFF", "x ok"}, u"ok"), (ScanMatch{1, 2, 2}));
}

TEST(MorvelTextSearch, TheNextSearchStartsAfterTheLastMatchOnlyOnItsOwnPage) {
    EXPECT_EQ(PageOfLine(0), 1);
    EXPECT_EQ(PageOfLine(24), 1);
    EXPECT_EQ(PageOfLine(25), 2);

    const ScanMatch onPage2{30, 4, 3};
    SearchStart start = NextSearchStart(onPage2, 2);
    EXPECT_EQ(start.nLine, 30u);
    EXPECT_EQ(start.nColumn, 7u);
    // The user paged away: begin at the top of the page on show.
    start = NextSearchStart(onPage2, 3);
    EXPECT_EQ(start.nLine, 50u);
    EXPECT_EQ(start.nColumn, 0u);
    start = NextSearchStart(std::nullopt, 1);
    EXPECT_EQ(start.nLine, 0u);
    start = NextSearchStart(std::nullopt, 0);  // no pages at all
    EXPECT_EQ(start.nLine, 0u);
}

}  // namespace morvel
