// Inside the platform layer only: the two facts about path text that differ between the
// systems, for the shared path logic in paths.cpp. Any thread.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace platform::paths_system {

// True for a character that separates names: '/' everywhere, '\\' too on Windows. Only for
// the first byte of a name, which is never inside a character; elsewhere in narrow text use
// SeparatorMask (a '\\' may be the second byte of a GBK character).
bool IsSeparator(char c);

// One flag per byte of path: true where the byte separates names. On Windows a '\\' that
// is the second byte of a double-byte character of the ANSI code page is no separator.
std::vector<bool> SeparatorMask(std::string_view path);

// Length of the root at the start of path that keeps its separator ("/" on POSIX, "C:/" on
// Windows), 0 when path starts with none.
std::size_t RootLength(std::string_view path);

}  // namespace platform::paths_system
