#include "platform/file_io.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool CFileReader::Open(const std::string& path) {
    Close();
    m_nError = 0;
    // O_NONBLOCK so that opening a FIFO does not wait for a writer; cleared once the file is
    // known to be a regular one.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        m_nError = errno;
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        m_nError = errno;
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        m_nError = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return false;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_nFd = fd;
    return true;
}

bool CFileWriter::Create(const std::string& path, unsigned mode) {
    Close();
    m_nError = 0;
    m_nUsed = 0;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                    static_cast<mode_t>(mode));
    if (fd < 0) {
        m_nError = errno;
        return false;
    }
    if (!m_pBuffer) m_pBuffer = new char[m_nCapacity];
    m_nFd = fd;
    return true;
}

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace platform
