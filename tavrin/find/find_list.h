// What the "Find in sessions" window shows of a search, worked out without a window: the
// piece of a hit's line that fits a list cell with the match inside it, and the summary line
// (how many hits, how many shown, which indexes are not complete). No Qt; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tavrin/find/session_search.h"

namespace session_index {

// A line cut to a cell's length around its match. Offsets are bytes of strText.
struct SHitExcerpt {
    std::string strText;  // UTF-8; "…" stands where text was cut off
    std::size_t nMarkOffset = 0, nMarkLength = 0;
};

// The hit's text with at most nBefore bytes before its match and at most nMax bytes in all
// (the match itself is cut to fit when longer), cut only between UTF-8 characters. Line
// breaks and tabs read as blanks, so a cell stays one line.
SHitExcerpt ExcerptAroundMatch(const SessionHit& hit, std::size_t nBefore = 30,
                               std::size_t nMax = 240);

// A package whose index is not complete, so its hits may be missing.
struct SIndexNotice {
    std::string strPackage;
    bool bBuilding = false;  // still being built (nPercent tells how far); else missing,
                             // stopped, failed or unreadable
    int nPercent = 0;
};

struct SFindSummary {
    std::uint64_t nTotal = 0;  // hits counted
    std::size_t nShown = 0;    // hits in the list
    std::vector<SIndexNotice> notices;
};

SFindSummary SummarizeSearch(const SessionSearchResult& result);

}  // namespace session_index
