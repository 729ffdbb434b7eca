// Inside the platform layer only: the system calls on an open file or process handle kept in
// an int of an interface (a descriptor on POSIX, a kernel handle on Windows). The shared
// sources (file_io.cpp, bounded_read.cpp, process_control.cpp) hold the logic around them;
// handle_io_posix.cpp and handle_io_win32.cpp hold only these calls. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace platform::handle_io {

// Reads at most size bytes in one call (an interrupted call is retried). Returns the count,
// 0 at the end, or -1 with *error set to an errno value.
std::int64_t ReadSome(int handle, char* buffer, std::size_t size, int* error);

// Writes at most size bytes in one call (an interrupted call is retried). Returns the count
// written (at least 1), or -1 with *error set to an errno value.
std::int64_t WriteSome(int handle, const char* data, std::size_t size, int* error);

// Closes the handle. 0, or the errno value of a failed close (the handle is gone either way).
int Close(int handle);

// Size in bytes of the open file, or nothing when it cannot be read.
std::optional<std::uint64_t> SizeOf(int handle);

}  // namespace platform::handle_io
