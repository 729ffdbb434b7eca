#include "tavrin/find/find_list.h"

#include <algorithm>

namespace session_index {

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";  // …

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The nearest character start at or before pos.
std::size_t BackToCharStart(const std::string& text, std::size_t pos) {
    pos = std::min(pos, text.size());
    while (pos > 0 && pos < text.size() && IsContinuation(static_cast<unsigned char>(text[pos])))
        --pos;
    return pos;
}

}  // namespace

SHitExcerpt ExcerptAroundMatch(const SessionHit& hit, std::size_t nBefore, std::size_t nMax) {
    const std::string& text = hit.strText;
    const std::size_t matchStart = std::min(hit.nMatchOffset, text.size());
    const std::size_t matchEnd = std::min(matchStart + hit.nMatchLength, text.size());
    const std::size_t begin =
        matchStart > nBefore ? BackToCharStart(text, matchStart - nBefore) : 0;
    const std::size_t end =
        text.size() - begin > nMax ? BackToCharStart(text, begin + nMax) : text.size();

    SHitExcerpt excerpt;
    if (begin > 0) excerpt.strText = kEllipsis;
    const std::size_t markAt = excerpt.strText.size() + (matchStart - begin);
    for (std::size_t i = begin; i < end; ++i) {
        const char c = text[i];
        excerpt.strText.push_back(c == '\t' || c == '\r' || c == '\n' ? ' ' : c);
    }
    if (end < text.size()) excerpt.strText += kEllipsis;
    excerpt.nMarkOffset = markAt;
    excerpt.nMarkLength =
        matchEnd > end ? (end > matchStart ? end - matchStart : 0) : matchEnd - matchStart;
    return excerpt;
}

SFindSummary SummarizeSearch(const SessionSearchResult& result) {
    SFindSummary summary;
    summary.nTotal = result.nTotal;
    summary.nShown = result.hits.size();
    for (const PackageIndexState& state : result.packages) {
        if (state.status == IndexStatus::kBuilt && !state.bReadFailed) continue;
        SIndexNotice notice;
        notice.strPackage = state.strPackage;
        notice.bBuilding = state.status == IndexStatus::kBuilding;
        notice.nPercent = PercentDone(state.nDone, state.nTotal);
        summary.notices.push_back(std::move(notice));
    }
    return summary;
}

}  // namespace session_index
