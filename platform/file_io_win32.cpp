#include "platform/file_io.h"

#include "platform/system_win32.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace platform {

using win32::HandleToInt;
using win32::IntToHandle;

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
    const std::wstring wide = win32::SystemPath(path);
    HANDLE h = CreateFileW(
        wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_nError = path.empty() ? ENOENT : win32::ErrnoFromWin32(GetLastError());
        return false;
    }
    // Only a file on a disk: a folder, pipe or device could block a reader or never end.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        m_nError = (GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                    (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                       ? EISDIR
                       : EINVAL;
        CloseHandle(h);
        return false;
    }
    m_nFd = HandleToInt(h);
    return true;
}

std::int64_t CFileReader::Read(char* buffer, std::size_t size) {
    if (m_nFd < 0) {
        m_nError = EBADF;
        return -1;
    }
    std::size_t done = 0;
    while (done < size) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(IntToHandle(m_nFd), buffer + done, want, &got, nullptr)) {
            m_nError = win32::ErrnoFromWin32(GetLastError());
            return done > 0 ? static_cast<std::int64_t>(done) : -1;
        }
        if (got == 0) break;
        done += got;
    }
    return static_cast<std::int64_t>(done);
}

void CFileReader::Close() {
    if (m_nFd >= 0) {
        CloseHandle(IntToHandle(m_nFd));
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
    const std::wstring wide = win32::SystemPath(path);
    // A link or junction planted where the output goes is an error, never a way out: the
    // entry is opened itself (not what it points to) and refused when it is one.
    const DWORD readOnly = (mode & 0200) ? 0 : FILE_ATTRIBUTE_READONLY;
    HANDLE h =
        CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | readOnly | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_nError = path.empty() ? ENOENT : win32::ErrnoFromWin32(GetLastError());
        return false;
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) ||
        (tag.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        GetFileType(h) != FILE_TYPE_DISK) {
        m_nError = (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EISDIR : ELOOP;
        CloseHandle(h);
        return false;
    }
    // Emptied only now that it is known to be a plain file.
    FILE_END_OF_FILE_INFO end{};
    if (!SetFileInformationByHandle(h, FileEndOfFileInfo, &end, sizeof end)) {
        m_nError = win32::ErrnoFromWin32(GetLastError());
        CloseHandle(h);
        return false;
    }
    if (!m_pBuffer) m_pBuffer = new char[m_nCapacity];
    m_nFd = HandleToInt(h);
    return true;
}

bool CFileWriter::WriteThrough(const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(IntToHandle(m_nFd), data, want, &written, nullptr) || written == 0) {
            m_nError = win32::ErrnoFromWin32(GetLastError());
            if (m_nError == 0) m_nError = EIO;
            return false;
        }
        data += written;
        size -= written;
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
    if (!CloseHandle(IntToHandle(m_nFd)) && ok) {
        m_nError = win32::ErrnoFromWin32(GetLastError());
        ok = false;
    }
    m_nFd = -1;
    return ok;
}

bool IsSameFile(const std::string& a, const std::string& b) {
    auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
        if (path.empty()) return false;
        HANDLE h = CreateFileW(win32::SystemPath(path).c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const bool ok = GetFileInformationByHandle(h, info) != 0;
        CloseHandle(h);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!identity(a, &ia) || !identity(b, &ib)) return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

}  // namespace platform
