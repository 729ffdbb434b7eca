// What path handling shares on every system: joining and creating a folder with its parents,
// on top of the system's own separators (paths_system.h) and folder creation.
#include "platform/paths.h"

#include "platform/paths_system.h"

namespace platform {

using paths_system::IsSeparator;

std::string JoinPath(std::string_view a, std::string_view b) {
    if (a.empty()) return std::string(b);
    if (b.empty()) return std::string(a);
    std::string result(a);
    const bool aEnds = paths_system::SeparatorMask(a).back();
    const bool bStarts = IsSeparator(b.front());
    if (aEnds && bStarts) {
        result.append(b.substr(1));
    } else if (aEnds || bStarts) {
        result.append(b);
    } else {
        result.push_back(kPathSeparator);
        result.append(b);
    }
    return result;
}

bool CreateFolderTree(const std::string& path, unsigned mode) {
    if (path.empty()) return false;
    if (IsDirectory(path)) return true;
    const std::vector<bool> separator = paths_system::SeparatorMask(path);
    std::size_t cut = path.size();
    while (cut > 0 && !separator[cut - 1]) --cut;
    if (cut > 0) {
        --cut;  // the separator before the last name, and any repeated ones before it
        while (cut > 0 && separator[cut - 1]) --cut;
    }
    if (cut > 0) {
        // The root ("/", "C:/") is its own parent and keeps its separator.
        const std::size_t root = paths_system::RootLength(path);
        const std::string parent = cut < root ? path.substr(0, root) : path.substr(0, cut);
        if (parent != path && !CreateFolderTree(parent, mode)) return false;
    }
    // A folder made meanwhile by someone else is as good as one made here.
    return CreateFolder(path, mode) || IsDirectory(path);
}

}  // namespace platform
