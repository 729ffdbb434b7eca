#include "platform/file_io.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace platform {

CFileReader::CFileReader(CFileReader&& other) noexcept
    : m_nFd(std::exchange(other.m_nFd, -1)), m_nError(other.m_nError) {}

CFileReader& CFileReader::operator=(CFileReader&& other) noexcept {
    if (this != &other) {
        Close();
        m_nFd = std::exchange(other.m_nFd, -1);
        m_nError = other.m_nError;
    }
    return *this;
}

CFileReader::~CFileReader() {
    Close();
}

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

std::int64_t CFileReader::Read(char* buffer, std::size_t size) {
    if (m_nFd < 0) {
        m_nError = EBADF;
        return -1;
    }
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(m_nFd, buffer + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            m_nError = errno;
            return done > 0 ? static_cast<std::int64_t>(done) : -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

void CFileReader::Close() {
    if (m_nFd >= 0) {
        ::close(m_nFd);
        m_nFd = -1;
    }
}

CFileWriter::CFileWriter(std::size_t bufferSize) : m_nCapacity(bufferSize ? bufferSize : 1) {}

CFileWriter::~CFileWriter() {
    Close();
    delete[] m_pBuffer;
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

bool CFileWriter::WriteThrough(const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(m_nFd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            m_nError = errno;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CFileWriter::WriteSlow(const char* data, std::size_t size) {
    if (m_nFd < 0) {
        if (m_nError == 0) m_nError = EBADF;
        return false;
    }
    if (m_nError != 0) return false;
    if (m_nUsed + size <= m_nCapacity) {
        std::memcpy(m_pBuffer + m_nUsed, data, size);
        m_nUsed += size;
        return true;
    }
    if (!Flush()) return false;
    // Large pieces go straight out instead of through the buffer.
    if (size >= m_nCapacity) return WriteThrough(data, size);
    std::memcpy(m_pBuffer, data, size);
    m_nUsed = size;
    return true;
}

bool CFileWriter::Flush() {
    if (m_nFd < 0 || m_nError != 0) return false;
    bool ok = WriteThrough(m_pBuffer, m_nUsed);
    m_nUsed = 0;
    return ok;
}

bool CFileWriter::Close() {
    if (m_nFd < 0) return m_nError == 0;
    bool ok = m_nError == 0 && Flush();
    if (::close(m_nFd) != 0 && ok) {
        m_nError = errno;
        ok = false;
    }
    m_nFd = -1;
    return ok;
}

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace platform
