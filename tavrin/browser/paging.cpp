#include "tavrin/browser/paging.h"

#include "common/decimal_text.h"
#include "tavrin/browser/query_builder.h"

namespace browser {

namespace {

std::u16string Decimal(long long value) {
    std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

PageMove MoveTo(const PageState& state, int page) {
    PageMove move;
    move.nOffset = (page - 1) * kPageSize;
    move.state = state;
    move.state.nCurPage = page;
    move.buttons.bPrev = page > 1;
    move.buttons.bNext = page != state.nPageCount;
    move.buttons.bGoto = state.nPageCount >= 2;
    return move;
}

}  // namespace

int PageCountFor(int total) {
    return total / kPageSize + 1;
}

PageState StartPagingState(int total) {
    PageState state;
    state.nTotalRows = total;
    state.nPageCount = PageCountFor(total);
    state.nCurPage = 1;
    return state;
}

PageButtons StartPagingButtons(const PageState& state) {
    PageButtons buttons;
    buttons.bPrev = false;
    buttons.bNext = state.nPageCount >= 2;
    buttons.bGoto = state.nPageCount >= 2;
    return buttons;
}

std::optional<PageMove> PrevPageMove(const PageState& state) {
    if (state.nCurPage <= 1) return std::nullopt;
    return MoveTo(state, state.nCurPage - 1);
}

std::optional<PageMove> NextPageMove(const PageState& state) {
    if (state.nCurPage >= state.nPageCount) return std::nullopt;
    return MoveTo(state, state.nCurPage + 1);
}

GotoCheck CheckGotoPage(const PageState& state, int n) {
    if (n > state.nPageCount) return GotoCheck::BeyondLast;
    if (n <= 0) return GotoCheck::NotPositive;
    return GotoCheck::Ok;
}

PageMove GotoPageMove(const PageState& state, int n) {
    return MoveTo(state, n);
}

int ParsePageNumber(const std::string& ansiText) {
    return common::LeadingDecimal(ansiText.substr(0, 9));
}

std::u16string TotalLabel(const std::u16string& before, int total, const std::u16string& after) {
    return before + u' ' + Decimal(total) + u' ' + after;
}

std::u16string PagesLabel(int pageCount, const std::u16string& after) {
    return u"/ " + Decimal(pageCount) + u' ' + after;
}

std::u16string PageNumberText(int page) {
    return Decimal(page);
}

}  // namespace browser
