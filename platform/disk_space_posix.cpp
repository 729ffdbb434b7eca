#include "platform/disk_space.h"

#include <sys/statvfs.h>

#include <atomic>

namespace platform {
namespace {

// UINT64_MAX means "no override"; a real override of that size would make no difference.
std::atomic<std::uint64_t> g_freeBytesOverride{UINT64_MAX};

}  // namespace

std::optional<std::uint64_t> FreeBytes(const std::string& path) {
    std::uint64_t forced = g_freeBytesOverride.load();
    if (forced != UINT64_MAX) return forced;
    struct statvfs st;
    if (statvfs(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(st.f_bavail) * static_cast<std::uint64_t>(st.f_frsize);
}

void SetFreeBytesOverride(std::optional<std::uint64_t> bytes) {
    g_freeBytesOverride.store(bytes ? *bytes : UINT64_MAX);
}

}  // namespace platform
