// How far a package's index is, as its file records it (build_state.status). No Qt; any
// thread.
#pragma once

#include <string_view>

namespace session_index {

// Status of an index file, as stored in it.
enum class IndexStatus {
    kMissing,   // no index file (never built, or the work folder is gone)
    kBuilding,  // a build is writing it; done/total tell how far
    kBuilt,     // complete
    kStopped,   // a build was stopped before the end; what it wrote is searchable
    kFailed,    // the build failed; the message says why
};

// Text of a status as stored in the file ("building", "built", ...).
const char* IndexStatusName(IndexStatus status);
// The status stored as name; kMissing for a text no build writes.
IndexStatus IndexStatusFromName(std::string_view name);

}  // namespace session_index
