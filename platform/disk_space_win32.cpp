#include "platform/disk_space.h"

#include "platform/system_win32.h"

#include <atomic>

namespace platform {
namespace {

// UINT64_MAX means "no override"; a real override of that size would make no difference.
std::atomic<std::uint64_t> g_freeBytesOverride{UINT64_MAX};

}  // namespace

std::optional<std::uint64_t> FreeBytes(const std::string& path) {
    std::uint64_t forced = g_freeBytesOverride.load();
    if (forced != UINT64_MAX) return forced;
    std::wstring folder = win32::SystemPath(path);
    const DWORD attributes = win32::AttributesOf(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        const std::size_t slash = folder.rfind(L'\\');
        if (slash != std::wstring::npos) folder.resize(slash);
    }
    if (folder.empty() || folder.back() != L'\\') folder.push_back(L'\\');
    // The bytes available to this caller: quotas count, as the reserve does on POSIX.
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, &total, &free)) return std::nullopt;
    return static_cast<std::uint64_t>(available.QuadPart);
}

void SetFreeBytesOverride(std::optional<std::uint64_t> bytes) {
    g_freeBytesOverride.store(bytes ? *bytes : UINT64_MAX);
}

}  // namespace platform
