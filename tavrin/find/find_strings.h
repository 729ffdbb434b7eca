// Identifiers of the language module's strings about the text index and finding text in
// sessions (ids 280 to 299 belong to them).
#pragma once

// Ticker texts appended to "loaded": the index being built (%1 the percentage), waiting for
// another package's index, complete, stopped, failed.
inline constexpr int kStrIndexBuilding = 280;
inline constexpr int kStrIndexWaiting = 281;
inline constexpr int kStrIndexBuilt = 282;
inline constexpr int kStrIndexStopped = 283;
inline constexpr int kStrIndexFailed = 284;
