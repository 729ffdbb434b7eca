// Identifiers of the language module's strings that tell the user about loads and queries
// that did not complete (ids 230 to 239 belong to them).
#pragma once

namespace ui {

// Message box: the package did not load completely; %1 the package, %2 the tables.
inline constexpr int kStrLoadIncompleteTables = 230;
// Ticker text of a package whose background load ended without all of its rows (in place of
// "loaded").
inline constexpr int kStrLoadIncomplete = 231;
// Message box: a query on the package ran past the window's time limit and was stopped.
inline constexpr int kStrQueryStopped = 232;
// Row-count label of an audit type whose table is still loading in the background.
inline constexpr int kStrViewLoading = 300;
// Message box: the audit type shown is still loading, so it cannot be exported yet.
inline constexpr int kStrViewLoadingRefused = 301;

}  // namespace ui
