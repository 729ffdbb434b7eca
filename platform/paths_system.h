// Inside the platform layer only: the two facts about path text that differ between the
// systems, for the shared path logic in paths.cpp. Any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform::paths_system {

// True for a character that separates names: '/' everywhere, '\\' too on Windows.
bool IsSeparator(char c);

// Length of the root at the start of path that keeps its separator ("/" on POSIX, "C:/" on
// Windows), 0 when path starts with none.
std::size_t RootLength(std::string_view path);

}  // namespace platform::paths_system
