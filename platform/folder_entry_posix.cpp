#include "platform/folder_entry.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The folder itself, refused when it is a link (O_NOFOLLOW on the last component).
int OpenRealFolder(const std::string& folder) {
    return open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool ValidName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

}  // namespace

bool CreateFreshFileIn(const std::string& folder, const std::string& name) {
    if (!ValidName(name)) return false;
    int dirFd = OpenRealFolder(folder);
    if (dirFd < 0) return false;
    bool created = false;
    if (unlinkat(dirFd, name.c_str(), 0) == 0 || errno == ENOENT) {
        int fd = openat(dirFd, name.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0644);
        if (fd >= 0) {
            created = true;
            close(fd);
        }
    }
    close(dirFd);
    return created;
}

bool DeleteEntryIn(const std::string& folder, const std::string& name) {
    if (!ValidName(name)) return false;
    int dirFd = OpenRealFolder(folder);
    if (dirFd < 0) return false;
    bool gone = unlinkat(dirFd, name.c_str(), 0) == 0 || errno == ENOENT;
    close(dirFd);
    return gone;
}

}  // namespace platform
