#include "platform/file_io.h"

#include "platform/system_win32.h"

#include <cerrno>

namespace platform {

using win32::HandleToInt;

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
