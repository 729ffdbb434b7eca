#include "platform/bounded_read.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace platform {

namespace {

constexpr std::size_t kReadStep = 64 * 1024;

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

// Fallback without openat2: walk the components, following no link at all and refusing "..".
int OpenBeneathByWalk(int dirFd, const std::string& rel) {
    int current = dup(dirFd);
    if (current < 0) return -1;
    size_t pos = 0;
    while (true) {
        size_t slash = rel.find('/', pos);
        std::string part =
            rel.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        bool last = slash == std::string::npos;
        if (part == "..") {
            close(current);
            errno = EXDEV;
            return -1;
        }
        if (part.empty() || part == ".") {
            if (last) {
                close(current);
                errno = EISDIR;
                return -1;
            }
            pos = slash + 1;
            continue;
        }
        int flags = O_CLOEXEC | O_NOFOLLOW |
                    (last ? (O_RDONLY | O_NONBLOCK | O_NOCTTY) : (O_RDONLY | O_DIRECTORY));
        int next = openat(current, part.c_str(), flags);
        int saved = errno;
        close(current);
        if (next < 0) {
            errno = saved;
            return -1;
        }
        if (last) return next;
        current = next;
        pos = slash + 1;
    }
}

}  // namespace

CBoundedFile::CBoundedFile(CBoundedFile&& other) noexcept : m_nFd(other.m_nFd) {
    other.m_nFd = -1;
}

CBoundedFile& CBoundedFile::operator=(CBoundedFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_nFd = other.m_nFd;
        other.m_nFd = -1;
    }
    return *this;
}

CBoundedFile::~CBoundedFile() {
    Close();
}

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

std::uint64_t CBoundedFile::Size() const {
    struct stat st;
    if (m_nFd < 0 || fstat(m_nFd, &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

long long CBoundedFile::Read(char* buffer, std::size_t size) {
    if (m_nFd < 0) return -1;
    while (true) {
        ssize_t n = read(m_nFd, buffer, size);
        if (n >= 0) return static_cast<long long>(n);
        if (errno != EINTR) return -1;
    }
}

long long CBoundedFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) {
    if (m_nFd < 0) return -1;
    while (true) {
        ssize_t n = pread(m_nFd, buffer, size, static_cast<off_t>(offset));
        if (n >= 0) return static_cast<long long>(n);
        if (errno != EINTR) return -1;
    }
}

void CBoundedFile::Close() {
    if (m_nFd >= 0) {
        close(m_nFd);
        m_nFd = -1;
    }
}

std::optional<std::uint64_t> CountLinesBeneath(const std::string& root, std::string_view relPath) {
    CBoundedFile file;
    if (!file.OpenBeneath(root, relPath)) return std::nullopt;
    std::vector<char> buffer(kReadStep);
    std::uint64_t lines = 0;
    char last = '\n';
    while (true) {
        long long n = file.Read(buffer.data(), buffer.size());
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        const char* p = buffer.data();
        const char* end = p + n;
        while ((p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr) {
            ++lines;
            ++p;
        }
        last = buffer[static_cast<size_t>(n) - 1];
    }
    if (last != '\n') ++lines;
    return lines;
}

std::optional<std::uint64_t> FileSizeBeneath(const std::string& root, std::string_view relPath) {
    CBoundedFile file;
    if (!file.OpenBeneath(root, relPath)) return std::nullopt;
    return file.Size();
}

bool CanReadBeneath(const std::string& root, std::string_view relPath) {
    CBoundedFile file;
    return file.OpenBeneath(root, relPath);
}

}  // namespace platform
