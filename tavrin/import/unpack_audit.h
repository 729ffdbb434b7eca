// What the import does to a package's work folder around unpacking: it creates the folder
// fresh and private, and afterwards removes whatever the archive left that could lead reads
// or writes out of the folder or block them.
#pragma once

#include <string>
#include <vector>

#include "platform/tree_audit.h"

namespace package_import {

// Creates the work folder at path, which must not exist yet (not even as a dangling link),
// with permissions for the user only (0700). Returns false when it existed or cannot be made.
bool CreateFreshWorkFolder(const std::string& path);

struct SUnpackAudit {
    std::vector<platform::SRemovedEntry> removed;
    bool bComplete = true;  // false: part of the tree could not be checked or cleaned

    // Something was removed or could not be checked: the package is damaged and what was
    // unpacked may be incomplete.
    bool Damaged() const { return !removed.empty() || !bComplete; }
};

// Walks the work folder without following links and removes every symbolic link leading
// outside it or to nothing, every hard link, device, FIFO and socket
// (platform::RemoveUnsafeEntries). For each entry removed it writes
// "已删除审计包中不安全的条目：%s\n" (GBK) with the entry's path below the work folder, as the
// bytes it has. Any thread; one call per folder at a time.
SUnpackAudit AuditUnpackedFolder(const std::string& workFolder);

// Removes whatever the archive put at a path the import writes itself (outputPaths, all below
// workFolder): a file, a link (not what it points to) or a whole folder. For each it writes the
// same console line as AuditUnpackedFolder. Returns the paths removed (relative to
// workFolder); bComplete is false when one of them could not be removed. Any thread.
SUnpackAudit RemovePlantedOutputs(const std::string& workFolder,
                                  const std::vector<std::string>& outputPaths);

// A short English word for the kind of an entry ("link out", "link to nothing", "hard link",
// "device", "fifo", "socket"), for logs and tests.
const char* UnsafeEntryKindName(platform::EUnsafeEntry kind);

}  // namespace package_import
