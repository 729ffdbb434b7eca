#include "platform/paths.h"
#include "platform/paths_system.h"

#include "platform/system_win32.h"

#include <cstdlib>

namespace platform {

namespace {

using paths_system::IsSeparator;

// Attributes of what path names, reparse points (links, junctions) followed; false when it
// does not exist or cannot be reached.
bool FollowedInfo(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    if (path.empty()) return false;
    HANDLE h = CreateFileW(win32::SystemPath(path).c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(h, info) != 0;
    CloseHandle(h);
    return ok;
}

}  // namespace

bool paths_system::IsSeparator(char c) {
    return c == '/' || c == '\\';
}

std::vector<bool> paths_system::SeparatorMask(std::string_view path) {
    std::vector<bool> mask(path.size());
    for (std::size_t offset : win32::SeparatorOffsets(path)) mask[offset] = true;
    return mask;
}

bool SamePath(std::string_view a, std::string_view b) {
    std::wstring wa = win32::Widen(a);
    std::wstring wb = win32::Widen(b);
    for (std::wstring* w : {&wa, &wb})
        for (wchar_t& c : *w)
            if (c == L'/') c = L'\\';
    if (wa.size() > 0x7FFFFFFF || wb.size() > 0x7FFFFFFF) return false;
    // As NTFS compares names: each UTF-16 unit upper-cased by the system's table, no locale.
    return CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(),
                                static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

std::size_t paths_system::RootLength(std::string_view path) {
    if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2])) return 3;  // "C:/"
    return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

std::string ProgramFolder() {
    if (const wchar_t* env = _wgetenv(L"TAVRIN_PROGRAM_DIR"); env && *env) {
        std::string folder = win32::Narrow(env);
        while (folder.size() > 1 && IsSeparator(folder.back())) folder.pop_back();
        return folder;
    }
    std::wstring buffer(512, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::string();
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);  // truncated: try a larger buffer
    }
    const std::string exe = win32::DisplayPath(buffer);
    const std::size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return std::string();
    // "C:/Tavrin.exe" lies in the drive's root, which keeps its separator.
    return slash == 2 && exe[1] == ':' ? exe.substr(0, 3) : exe.substr(0, slash);
}

bool PathExists(const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info;
    return FollowedInfo(path, &info);
}

bool IsDirectory(const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info;
    return FollowedInfo(path, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!FollowedInfo(path, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::nullopt;
    return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

bool EntryExists(const std::string& path) {
    return !path.empty() && win32::AttributesOf(win32::SystemPath(path)) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::uint64_t> ReadableFileSize(const std::string& path) {
    if (path.empty()) return std::nullopt;
    HANDLE h = CreateFileW(win32::SystemPath(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    // Only a file on a disk: a pipe or device is refused, never read.
    LARGE_INTEGER size;
    const bool regular = GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &size);
    CloseHandle(h);
    if (!regular) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
}

bool CreateFolder(const std::string& path, unsigned mode) {
    (void)mode;  // Windows folders take the access rules of their parent
    if (path.empty()) return false;
    return CreateDirectoryW(win32::SystemPath(path).c_str(), nullptr) != 0;
}

}  // namespace platform
