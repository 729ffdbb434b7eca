// Checking a freshly unpacked folder tree for entries an archive must not leave behind. The
// walk never follows a symbolic link; names are handled as the bytes they are.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Why an entry was removed.
enum class EUnsafeEntry {
    kLinkOutside,  // a symbolic link whose target (followed through further links) leaves root
    kLinkNowhere,  // a symbolic link that stays inside but leads to nothing: the archiver puts
                   // an absolute target below the folder, so a link out often ends up so, and
                   // what the package meant to hold there is not in it
    kHardLink,     // a regular file with more than one name (it may share its data with a
                   // file outside, which writing to it would change)
    kDevice,       // a character or block device
    kFifo,         // a named pipe (opening or reading it could block)
    kSocket,
    kPlanted,  // an entry at a name the import writes itself (found, not made, so not trusted)
};

struct SRemovedEntry {
    std::string strPath;  // relative to root, '/'-separated, bytes as on disk
    EUnsafeEntry eKind;
};

struct STreeAudit {
    std::vector<SRemovedEntry> removed;  // in the order they were found, links last
    // False when a folder could not be read or an unsafe entry could not be removed: the tree
    // may then still hold something unsafe.
    bool bComplete = true;
};

// Walks everything below the folder root (root itself must be a real folder, not a link) and
// removes every symbolic link whose target leads outside root or to nothing, every regular
// file with more than one hard link, device, FIFO and socket. Symbolic links that lead to
// something inside root are kept.
// A link's target is resolved component by component as the system would, following further
// links (at most 40), "..", and absolute targets (inside only when they name root's own real
// path or below it); a chain that loops counts as leading outside. Folders are given owner
// read, write and search permission so that the walk and a later deletion reach everything,
// and set-user-ID and set-group-ID bits are cleared from files. One call at a time per tree;
// any thread.
STreeAudit RemoveUnsafeEntries(const std::string& root);

// True when path names a real folder itself (not a symbolic link to one).
bool IsRealFolder(const std::string& path);

// True when a symbolic link at linkPath (relative to root, '/'-separated) with the given
// target would lead outside root, resolved as RemoveUnsafeEntries does against the tree as it
// is on disk now.
bool LinkLeadsOutside(const std::string& root, const std::string& linkPath,
                      const std::string& target);

}  // namespace platform
