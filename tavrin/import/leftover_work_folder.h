// How an import starts when something already stands where the package's work folder goes:
// the package imported earlier in this run is opened; a real folder left by an earlier run
// (killed before its close could delete it) is offered for deletion so that the package is
// imported afresh; anything else (a file, a link) is never used and never deleted. Plain
// functions, no window; any thread.
#pragma once

#include <string>

namespace package_import {

// What stands at a work folder's path, links not followed.
enum class EWorkFolderState {
    kAbsent,      // nothing: the package is imported
    kRealFolder,  // a folder itself (not a link to one)
    kOther,       // a file, a link (to a folder or to nothing), a device...
};

EWorkFolderState WorkFolderState(const std::string& workFolder);

enum class EImportStart {
    kImport,        // unpack and load
    kOpenImported,  // the package was imported in this run: open it, unpack nothing
    kAskLeftover,   // a work folder of an earlier run: ask the user whether to delete it and
                    // import afresh; declining changes nothing
    kRefuse,        // the name is taken by something that is no work folder: string 164
};

EImportStart DecideImportStart(EWorkFolderState state, bool bImportedThisRun);

// Deletes a leftover work folder after the user agreed: only when workFolder is still a real
// folder (never through a link), with everything in it. True when it is gone.
bool DeleteLeftoverWorkFolder(const std::string& workFolder);

}  // namespace package_import
