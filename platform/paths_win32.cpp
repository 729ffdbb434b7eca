#include "platform/paths.h"

#include "platform/system_win32.h"

#include <cstdlib>

namespace platform {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

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

std::string JoinPath(std::string_view a, std::string_view b) {
    if (a.empty()) return std::string(b);
    if (b.empty()) return std::string(a);
    std::string result(a);
    const bool aEnds = IsSeparator(result.back());
    const bool bStarts = IsSeparator(b.front());
    if (aEnds && bStarts) {
        result.append(b.substr(1));
    } else if (aEnds || bStarts) {
        result.append(b);
    } else {
        result.push_back(kPathSeparator);
        result.append(b);
    }
    return result;
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

bool CreateFolder(const std::string& path, unsigned mode) {
    (void)mode;  // Windows folders take the access rules of their parent
    if (path.empty()) return false;
    return CreateDirectoryW(win32::SystemPath(path).c_str(), nullptr) != 0;
}

bool CreateFolderTree(const std::string& path, unsigned mode) {
    if (path.empty()) return false;
    if (IsDirectory(path)) return true;
    std::size_t slash = path.find_last_of("/\\");
    while (slash != std::string::npos && slash > 0 && IsSeparator(path[slash - 1])) --slash;
    if (slash != std::string::npos && slash > 0) {
        // A drive's root ("C:/") is its own parent.
        const std::string parent =
            slash == 2 && path[1] == ':' ? path.substr(0, 3) : path.substr(0, slash);
        if (parent != path && !CreateFolderTree(parent, mode)) return false;
    }
    if (CreateDirectoryW(win32::SystemPath(path).c_str(), nullptr)) return true;
    return GetLastError() == ERROR_ALREADY_EXISTS && IsDirectory(path);
}

}  // namespace platform
