// What the file classes share on every system: ownership, the read loop and the writer's
// buffer. Opening and creating are the system's (file_io_posix.cpp, file_io_win32.cpp).
#include "platform/file_io.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/handle_io.h"

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

std::int64_t CFileReader::Read(char* buffer, std::size_t size) {
    if (m_nFd < 0) {
        m_nError = EBADF;
        return -1;
    }
    std::size_t done = 0;
    while (done < size) {
        const std::int64_t n = handle_io::ReadSome(m_nFd, buffer + done, size - done, &m_nError);
        if (n < 0) return done > 0 ? static_cast<std::int64_t>(done) : -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

void CFileReader::Close() {
    if (m_nFd >= 0) {
        handle_io::Close(m_nFd);
        m_nFd = -1;
    }
}

CFileWriter::CFileWriter(std::size_t bufferSize) : m_nCapacity(bufferSize ? bufferSize : 1) {}

CFileWriter::~CFileWriter() {
    Close();
    delete[] m_pBuffer;
}

bool CFileWriter::WriteThrough(const char* data, std::size_t size) {
    while (size > 0) {
        const std::int64_t n = handle_io::WriteSome(m_nFd, data, size, &m_nError);
        if (n < 0) return false;
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
    const int closeError = handle_io::Close(m_nFd);
    if (closeError != 0 && ok) {
        m_nError = closeError;
        ok = false;
    }
    m_nFd = -1;
    return ok;
}

}  // namespace platform
