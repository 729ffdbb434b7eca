// Enumerating and deleting folders without ever following a symbolic link: a link found
// inside a folder is removed itself, and what it points to is left untouched wherever it
// points. Any thread may call these; calls on the same tree from two threads race as the file
// system does.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Deletes everything inside the folder at path and then the folder itself. Read-only entries
// and folders without write or search permission are made accessible first. A symbolic link
// (inside, or the path itself) is unlinked, never followed; other file systems mounted inside
// are not entered. The walk is iterative and keeps at most three descriptors open however deep
// the tree, so it also works under a low open-file limit. Returns true when the folder is gone
// afterwards (or path is empty), false when anything stayed (then as much as possible was
// deleted).
bool DeleteFolderTree(const std::string& path);

// Names of the entries of the folder at path, except "." and "..", in the order the system
// reports them. Empty when the folder cannot be read (or is a symbolic link).
std::vector<std::string> FolderEntries(const std::string& path);

// Gives the owner write permission on the entry at path (a symbolic link is left alone).
// Returns true on success or when the entry is a link.
bool MakeEntryWritable(const std::string& path);

// Deletes the entry at path as a file: a regular file, a link (not what it points to) or a
// special file; a folder is not removed. Returns true when it was deleted.
bool DeleteFileEntry(const std::string& path);

}  // namespace platform
