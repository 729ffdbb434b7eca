#include "platform/bounded_read.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

namespace platform {

namespace {

// openat2 with RESOLVE_BENEATH: the kernel refuses any step of the lookup that leaves dirFd,
// whether by "..", an absolute path or a link. -1 with errno ENOSYS where the kernel lacks it.
int OpenBeneathKernel(int dirFd, const std::string& rel) {
#ifdef SYS_openat2
    struct open_how how;
    std::memset(&how, 0, sizeof how);
    how.flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(syscall(SYS_openat2, dirFd, rel.c_str(), &how, sizeof how));
#else
    (void)dirFd;
    (void)rel;
    errno = ENOSYS;
    return -1;
#endif
}

// Fallback without openat2: walk the steps, following no link at all ("..", refused by
// StepsBeneath, never comes here).
int OpenBeneathByWalk(int dirFd, const std::string& rel) {
    const auto steps = StepsBeneath(rel, "/");
    if (!steps) {
        errno = EXDEV;
        return -1;
    }
    int current = dup(dirFd);
    if (current < 0) return -1;
    for (std::size_t i = 0; i < steps->size(); ++i) {
        const bool last = i + 1 == steps->size();
        int flags = O_CLOEXEC | O_NOFOLLOW |
                    (last ? (O_RDONLY | O_NONBLOCK | O_NOCTTY) : (O_RDONLY | O_DIRECTORY));
        int next = openat(current, (*steps)[i].c_str(), flags);
        int saved = errno;
        close(current);
        if (next < 0) {
            errno = saved;
            return -1;
        }
        current = next;
    }
    return current;
}

}  // namespace

bool CBoundedFile::OpenBeneath(const std::string& root, std::string_view relPath) {
    Close();
    size_t start = relPath.find_first_not_of('/');
    if (start == std::string_view::npos) return false;
    std::string rel(relPath.substr(start));
    if (rel.find('\0') != std::string::npos) return false;

    int dirFd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return false;
    int fd = OpenBeneathKernel(dirFd, rel);
    if (fd < 0 && (errno == ENOSYS || errno == EPERM)) fd = OpenBeneathByWalk(dirFd, rel);
    close(dirFd);
    if (fd < 0) return false;

    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    // Opened non-blocking so that a FIFO could not stall the open; plain reads from here on.
    int fl = fcntl(fd, F_GETFL);
    if (fl >= 0) fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    m_nFd = fd;
    return true;
}

}  // namespace platform
