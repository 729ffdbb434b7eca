// Identifiers of the language module's strings about the text index and finding text in
// sessions (ids 280 to 299, and 350 to 359, belong to them).
#pragma once

namespace session_index {

// Ticker texts appended to "loaded": the index being built (%1 the percentage), waiting for
// another package's index, complete, stopped, failed.
inline constexpr int kStrIndexBuilding = 280;
inline constexpr int kStrIndexWaiting = 281;
inline constexpr int kStrIndexBuilt = 282;
inline constexpr int kStrIndexStopped = 283;
inline constexpr int kStrIndexFailed = 284;

// The "Find in sessions" window.
inline constexpr int kStrFindTitle = 285;       // window title and the main dialog's button
inline constexpr int kStrFindButton = 286;      // starts the search
inline constexpr int kStrFindColPackage = 287;  // list headers beside the browser's own
inline constexpr int kStrFindColView = 288;
inline constexpr int kStrFindColSource = 289;
inline constexpr int kStrFindColLine = 290;
inline constexpr int kStrFindScopeOpen = 291;      // search the open package
inline constexpr int kStrFindScopeAll = 292;       // search every package imported in this run
inline constexpr int kStrFindHits = 293;           // %1 hits, all shown
inline constexpr int kStrFindHitsCapped = 294;     // %1 hits, the first %2 shown
inline constexpr int kStrFindNoHit = 295;          // no line contains the text
inline constexpr int kStrFindIndexBuilding = 296;  // %1 package, %2 percent
inline constexpr int kStrFindIndexMissing = 297;   // %1 package: not built, stopped or failed
inline constexpr int kStrFindSearching = 298;
inline constexpr int kStrFindNoPackage = 299;  // nothing to search
// The first %1 hits are listed while the others are counted.
inline constexpr int kStrFindCounting = 350;

}  // namespace session_index
