// Process-wide flags describing the open package. Written and read on the user-interface
// thread only (the import sets them, opening a package sets them from its record, the result
// list reads g_bHasMatrixTable).
#pragma once

#include <string>

// The open package has vsms_xapp_tab data (adds the joined graphical audit view).
extern bool g_bHasTabTable;
// The open package has w_text_matrix data (adds a third action column).
extern bool g_bHasMatrixTable;

namespace workspace {

// True when the dump at path can be opened for reading and holds at least one byte: the test
// that decides both flags at import. False for a missing file, a folder or an empty file.
bool DumpHasData(const std::string& path);

}  // namespace workspace
