// Page arithmetic of the session browser: 15 rows a page, page count total / 15 + 1 (integer
// division, so a total that is a multiple of 15 has one empty last page), the offsets and
// button states of the four moves, and the texts of the two labels. No window; any thread.
#pragma once

#include <optional>
#include <string>

namespace browser {

// Enabled states the page buttons get from a count or a move. A move sets only bPrev and
// bNext; bGoto (and the first-page button) change only on a fresh count.
struct PageButtons {
    bool bPrev = false;
    bool bNext = false;
    bool bGoto = false;
};

struct PageState {
    int nTotalRows = 0;
    int nPageCount = 1;
    int nCurPage = 1;
};

// total / 15 + 1.
int PageCountFor(int total);

// State and buttons after a fresh count: page 1, previous disabled, next and go enabled
// exactly when there are two pages or more.
PageState StartPagingState(int total);
PageButtons StartPagingButtons(const PageState& state);

// One move: the offset of the page to query, and the state and buttons after it.
struct PageMove {
    int nOffset = 0;
    PageState state;
    PageButtons buttons;
};

// Previous and next page. Nothing when the move would leave pages 1 to page count (the
// buttons are disabled then; a stray click must not query a negative offset).
std::optional<PageMove> PrevPageMove(const PageState& state);
std::optional<PageMove> NextPageMove(const PageState& state);

// Go to page n.
enum class GotoCheck { Ok, BeyondLast, NotPositive };
GotoCheck CheckGotoPage(const PageState& state, int n);
// The move to page n; only valid when CheckGotoPage returned Ok.
PageMove GotoPageMove(const PageState& state, int n);

// The page number typed into the page edit: the first 9 characters of ansiText (already
// converted to the ANSI code page), leading blanks skipped, an optional sign, digits up to the
// first non-digit; 0 when there are none.
int ParsePageNumber(const std::string& ansiText);

// "%s %d %s" with the texts before and after the total.
std::u16string TotalLabel(const std::u16string& before, int total, const std::u16string& after);
// "/ %d %s" with the page count and the text after it.
std::u16string PagesLabel(int pageCount, const std::u16string& after);
// "%d".
std::u16string PageNumberText(int page);

}  // namespace browser
