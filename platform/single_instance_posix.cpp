#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

std::string UserRuntimeFolder() {
    struct stat st;
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg && ::stat(xdg, &st) == 0 && S_ISDIR(st.st_mode)) return xdg;

    const char* tmp = std::getenv("TMPDIR");
    std::string folder = (tmp && *tmp) ? tmp : "/tmp";
    folder += "/tavrin-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    // In a shared temporary folder someone else may have made the name first: use it only
    // when it is a real directory of ours that nobody else may write to.
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return {};
    return folder;
}

CInstanceLock::CInstanceLock(const std::string& folder, const std::string& name)
    : m_strPath(folder + "/" + name + ".lock") {
    if (folder.empty()) return;
    m_nFd = ::open(m_strPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_nFd < 0) return;
    int rc;
    do {
        rc = ::flock(m_nFd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        m_state = State::kAcquired;
    } else {
        m_state = errno == EWOULDBLOCK ? State::kHeldElsewhere : State::kUnavailable;
        ::close(m_nFd);
        m_nFd = -1;
    }
}

CInstanceLock::~CInstanceLock() {
    // Closing the descriptor releases the lock; the file stays for the next start.
    if (m_nFd >= 0) ::close(m_nFd);
}

}  // namespace platform
