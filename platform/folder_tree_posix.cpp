#include "platform/folder_tree.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace platform {

namespace {

constexpr mode_t kOwnerAll = S_IRWXU;

// Opens a folder relative to parentFd without following a link in its last component.
int OpenFolderAt(int parentFd, const char* name) {
    return openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Deletes the contents of the open folder folderFd (device dev). Takes ownership of folderFd.
// Returns true when every entry inside was removed.
bool DeleteContents(int folderFd, dev_t dev) {
    DIR* dir = fdopendir(folderFd);
    if (!dir) {
        close(folderFd);
        return false;
    }
    bool allGone = true;
    // Collect first: removing entries while reading a directory stream may skip some.
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        names.emplace_back(entry->d_name);
    }
    const int fd = dirfd(dir);
    for (const std::string& name : names) {
        struct stat st;
        if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) allGone = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            if (st.st_dev != dev) {
                // A mount point: its contents belong to another file system, leave them.
                allGone = false;
                continue;
            }
            if ((st.st_mode & kOwnerAll) != kOwnerAll)
                fchmodat(fd, name.c_str(), (st.st_mode & 07777) | kOwnerAll, 0);
            int childFd = OpenFolderAt(fd, name.c_str());
            if (childFd < 0) {
                allGone = false;
                continue;
            }
            DeleteContents(childFd, dev);
            if (unlinkat(fd, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) allGone = false;
        } else {
            // Links are never chmod-ed or opened: unlinking removes the link itself.
            if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0)
                fchmodat(fd, name.c_str(), (st.st_mode & 07777) | S_IWUSR, 0);
            if (unlinkat(fd, name.c_str(), 0) != 0 && errno != ENOENT) allGone = false;
        }
    }
    closedir(dir);
    return allGone;
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
    DeleteContents(fd, st.st_dev);
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
