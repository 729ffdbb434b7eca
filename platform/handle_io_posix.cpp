#include "platform/handle_io.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::handle_io {

std::int64_t ReadSome(int handle, char* buffer, std::size_t size, int* error) {
    for (;;) {
        ssize_t n = ::read(handle, buffer, size);
        if (n >= 0) return n;
        if (errno != EINTR) {
            *error = errno;
            return -1;
        }
    }
}

std::int64_t WriteSome(int handle, const char* data, std::size_t size, int* error) {
    for (;;) {
        ssize_t n = ::write(handle, data, size);
        if (n > 0) return n;
        if (n < 0 && errno == EINTR) continue;
        *error = n < 0 ? errno : EIO;
        return -1;
    }
}

int Close(int handle) {
    return ::close(handle) == 0 ? 0 : errno;
}

std::optional<std::uint64_t> SizeOf(int handle) {
    struct stat st;
    if (::fstat(handle, &st) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace platform::handle_io
