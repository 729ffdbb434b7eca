// Creating and deleting one entry of a shared folder without following a link: neither the
// folder nor the entry may be a symbolic link, so a link planted in either place never makes
// the caller create, truncate or delete a file elsewhere. Any thread.
#pragma once

#include <string>

namespace platform {

// Creates name as a new empty file (permissions 0644 before umask) in folder, which must be a
// real folder, not a link to one. What stands at name already is removed first as an entry
// (a file or a link, never what a link points to); a folder there makes the call fail. The
// file is then created exclusively (O_CREAT|O_EXCL, no link followed), so a link put there
// meanwhile also makes it fail. True when the new file was created.
bool CreateFreshFileIn(const std::string& folder, const std::string& name);

// Deletes the entry name (a file or a link, not a folder) from folder, which must be a real
// folder. True when nothing stands at name afterwards.
bool DeleteEntryIn(const std::string& folder, const std::string& name);

}  // namespace platform
