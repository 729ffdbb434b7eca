// tavrin-query WORKFOLDER --find TEXT: the lines and rows of a package's sessions that contain
// TEXT, through the same search as the window (session_search.h), as CSV or JSON. No window;
// any thread.
#pragma once

#include <string>

#include "tavrin/find/session_search.h"
#include "tavrin/query/query_options.h"

namespace query_tool {

// Exit status of a search: hits found in a complete index (0); a complete index without a hit
// (kExitNoHit); an index still being built, stopped before its end or never built, so hits may
// be missing (kExitIndexIncomplete; what was found is printed all the same); an index whose
// build failed (1).
inline constexpr int kExitNoHit = 3;
inline constexpr int kExitIndexIncomplete = 4;
int FindExitStatus(const session_index::SessionSearchResult& result);

// Why the result may lack hits, for the console ("" when the index is complete).
std::string IndexStateMessage(const session_index::PackageIndexState& state);

// The tables searched for a --view name (joined: both graphical views); empty for none given.
std::vector<std::string> FindViews(const QueryOptions& options);

// The --view name of a view's table ("" for text of no listed session).
std::string ViewOptionName(const std::string& table);

// CSV: a header line, then one line per hit (view, session, login_time, login_name,
// remote_name, source, line, page, text). page is the scan viewer's page of the line, empty
// when the viewer does not show it; line is the row's rowid for a table.
std::string FindCsv(const session_index::SessionSearchResult& result);

// JSON: one object with package, query, the index's state, total (hits counted), shown and
// hits (objects with the CSV's columns, source_kind "file" or "table", and the first match's
// byte offset and length in text).
std::string FindJson(const std::string& package, const std::string& query,
                     const session_index::SessionSearchResult& result, bool bCountOnly);

// Runs the search of options (strFind set) on the work folder and prints it; returns the exit
// status. Messages go to standard error prefixed "tavrin-query: ".
int RunFind(const QueryOptions& options, const std::string& workFolder);

}  // namespace query_tool
