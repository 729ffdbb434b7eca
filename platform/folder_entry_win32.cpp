#include "platform/folder_entry.h"

#include "platform/system_win32.h"

namespace platform {

namespace {

// One name inside the folder: no separator of either kind, no drive or stream (':'). A GBK
// character whose second byte is 0x5C is no separator; ':' and NUL are never second bytes.
bool ValidName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string(":\0", 2)) == std::string::npos &&
           win32::SeparatorOffsets(name).empty();
}

// The folder itself, refused when it is a link or junction.
bool IsRealFolder(const std::wstring& systemPath) {
    const DWORD attributes = win32::AttributesOf(systemPath);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Removes what stands at path as an entry: a file, or a link or junction itself (a folder
// link is removed as a folder, which never touches its target). A real folder stays.
bool RemoveEntryItself(const std::wstring& path) {
    const DWORD attributes = win32::AttributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder && !link) return false;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return folder ? RemoveDirectoryW(path.c_str()) != 0 : DeleteFileW(path.c_str()) != 0;
}

}  // namespace

bool CreateFreshFileIn(const std::string& folder, const std::string& name) {
    if (!ValidName(name) || folder.empty()) return false;
    const std::wstring folderPath = win32::SystemPath(folder);
    if (!IsRealFolder(folderPath)) return false;
    const std::wstring path = folderPath + L"\\" + win32::Widen(name);
    if (!RemoveEntryItself(path)) return false;
    // CREATE_NEW fails on anything put there meanwhile, a link included.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

bool DeleteEntryIn(const std::string& folder, const std::string& name) {
    if (!ValidName(name) || folder.empty()) return false;
    const std::wstring folderPath = win32::SystemPath(folder);
    if (!IsRealFolder(folderPath)) return false;
    return RemoveEntryItself(folderPath + L"\\" + win32::Widen(name));
}

}  // namespace platform
