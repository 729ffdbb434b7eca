#include "platform/profile_ini.h"

#include "platform/profile_ini_lines.h"
#include "platform/system_win32.h"

// <windows.h> names its own WriteProfileString (a macro for WriteProfileStringW).
#undef WriteProfileString

namespace platform {

// The profile functions of Windows (GetPrivateProfileIntW, WritePrivateProfileStringW) are
// not used: they rewrite the file in place, so a failure midway could lose it, and they read
// numbers (hexadecimal, wrapping overflow) otherwise than the POSIX build. The same text rules
// serve both systems.

namespace {

std::vector<std::string> ReadLines(const std::wstring& path) {
    std::string text;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    char buffer[4096];
    DWORD got = 0;
    // A profile is a few lines; more than a megabyte is not one and is not read further.
    while (text.size() < (1u << 20) && ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(h);
    return profile::SplitLines(text);
}

}  // namespace

int ReadProfileInt(const std::string& path, const std::string& section, const std::string& key,
                   int nDefault) {
    if (path.empty()) return nDefault;
    return profile::IntValue(ReadLines(win32::SystemPath(path)), section, key, nDefault);
}

bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
    if (path.empty()) return false;
    const std::wstring target = win32::SystemPath(path);
    const std::string text = profile::WithValue(ReadLines(target), section, key, value);
    const std::wstring temp = target + L".tmp";
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size() && FlushFileBuffers(h);
    const bool closed = CloseHandle(h) != 0;
    if (!ok || !closed ||
        !MoveFileExW(temp.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
