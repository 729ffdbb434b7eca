// Free space of a file system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Bytes that the calling process can still write on the file system holding path (an
// existing file or folder). Blocks the file system keeps in reserve for the super-user are
// not counted, since an unpacking program cannot rely on them. Nothing when the file system
// cannot be queried. Thread-safe.
//
// When a test has set an override (SetFreeBytesOverride), that figure is returned instead
// for every path, so tests can reproduce a full disk or an exact limit.
std::optional<std::uint64_t> FreeBytes(const std::string& path);

// Test seam: makes FreeBytes return bytes for every path, or the real figure again when
// given nothing. Process-wide; call it from one thread while no other thread queries.
void SetFreeBytesOverride(std::optional<std::uint64_t> bytes);

}  // namespace platform
