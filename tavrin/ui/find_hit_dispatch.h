// Starting the player of a hit of "Find in sessions", as the result list's action cell would
// for the hit's session row: the row is read back from the package's Parent.db by its rowid
// and handed to player dispatch (tavrin/dispatch/player_launch.h), whose readiness and file
// rules apply unchanged. A line the scan viewer shows opens Morvel (column 9) with the found
// text as its fifth field, at the page of that line; another graphical hit starts column 8's
// player, a character or transfer hit column 8's, as Enter on a list row does.
// No widgets; user-interface thread (like the dispatch it calls).
#pragma once

#include <string>

#include "tavrin/dispatch/player_launch.h"
#include "tavrin/find/session_search.h"

namespace ui {

// What the window knows of the hit's package.
struct SFindHitPackage {
    std::string strProgramFolder;  // holds the package's work folder
    bool bReady = false;           // its background load has finished
    DbHandle* pChildDb = nullptr;  // its open child.db, or null
};

// The decision for a hit found with queryUtf8. Nothing happens (kNothing) for text of no
// listed session, a view that lists no sessions, or a row that is no longer in the package.
dispatch::SDispatchDecision DecideHitDispatch(const SFindHitPackage& package,
                                              const session_index::SessionHit& hit,
                                              const std::string& queryUtf8);

}  // namespace ui
