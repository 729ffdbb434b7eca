#include "platform/folder_tree.h"

#include "platform/folder_walk_posix.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace platform {

namespace {

constexpr mode_t kOwnerAll = S_IRWXU;

// Deletes the contents of the open folder rootFd (identity root), depth first, with a walk
// that holds no descriptor per level. Takes ownership of rootFd. Returns true when every entry
// inside was removed.
bool DeleteContents(int rootFd, const struct stat& root) {
    CFolderWalk walk(rootFd, root);
    bool allGone = true;
    for (;;) {
        const CFolderWalk::EStep step = walk.Next();
        if (step == CFolderWalk::EStep::kEnd || step == CFolderWalk::EStep::kLost) break;
        const int fd = walk.FolderFd();
        const char* name = walk.Name().c_str();
        if (step == CFolderWalk::EStep::kLeft) {
            if (unlinkat(fd, name, AT_REMOVEDIR) != 0 && errno != ENOENT) allGone = false;
            continue;
        }
        const struct stat& st = walk.Stat();
        if (!S_ISDIR(st.st_mode)) {
            // Links are never chmod-ed or opened: unlinking removes the link itself.
            if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0)
                fchmodat(fd, name, (st.st_mode & 07777) | S_IWUSR, 0);
            if (unlinkat(fd, name, 0) != 0 && errno != ENOENT) allGone = false;
            continue;
        }
        if (st.st_dev != root.st_dev) {
            // A mount point: its contents belong to another file system, leave them.
            allGone = false;
            continue;
        }
        if ((st.st_mode & kOwnerAll) != kOwnerAll)
            fchmodat(fd, name, (st.st_mode & 07777) | kOwnerAll, 0);
        if (!walk.Descend()) allGone = false;
    }
    return allGone && walk.Complete();
}

}  // namespace

bool DeleteFolderTree(const std::string& path) {
    if (path.empty()) return true;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return false;  // a missing folder was not removed
    if (!S_ISDIR(st.st_mode)) {
        // The path itself is a link (or a file): remove it, never what it points to.
        if (!S_ISLNK(st.st_mode)) return false;
        return unlink(path.c_str()) == 0;
    }
    if ((st.st_mode & kOwnerAll) != kOwnerAll)
        chmod(path.c_str(), (st.st_mode & 07777) | kOwnerAll);
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat opened;
    if (fstat(fd, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
        close(fd);
        return false;
    }
    DeleteContents(fd, opened);
    return rmdir(path.c_str()) == 0;
}

std::vector<std::string> FolderEntries(const std::string& path) {
    std::vector<std::string> names;
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return names;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return names;
    }
    while (dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

bool MakeEntryWritable(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return false;
    if (S_ISLNK(st.st_mode)) return true;
    if (st.st_mode & S_IWUSR) return true;
    return chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool DeleteFileEntry(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

}  // namespace platform
