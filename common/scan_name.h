// Names of scan files taken from package data (a utm2dba row, a session's ".scan" name): the
// scan viewer reads such a name beneath the sessions folder only when its text alone keeps it
// there, and the text index numbers a file's lines as the viewer's pages only under the same
// rule. Plain function; any thread.
#pragma once

#include <string_view>

namespace common {

// True when name stays beneath the folder it is relative to by its text alone: it is not
// absolute and has no ".." step.
bool ScanNameStaysBeneath(std::string_view name);

}  // namespace common
