#include "platform/handle_io.h"

#include "platform/system_win32.h"

#include <algorithm>
#include <cerrno>

namespace platform::handle_io {

using win32::IntToHandle;

// ReadFile and WriteFile take a 32-bit count: larger requests go in steps of 1 GiB.
constexpr std::size_t kMaxStep = std::size_t{1} << 30;

std::int64_t ReadSome(int handle, char* buffer, std::size_t size, int* error) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min(size, kMaxStep));
    if (!ReadFile(IntToHandle(handle), buffer, want, &got, nullptr)) {
        const DWORD code = GetLastError();
        if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return 0;  // the end
        *error = win32::ErrnoFromWin32(code);
        return -1;
    }
    return got;
}

std::int64_t WriteSome(int handle, const char* data, std::size_t size, int* error) {
    DWORD written = 0;
    const DWORD want = static_cast<DWORD>(std::min(size, kMaxStep));
    if (!WriteFile(IntToHandle(handle), data, want, &written, nullptr) || written == 0) {
        *error = win32::ErrnoFromWin32(GetLastError());
        if (*error == 0) *error = EIO;
        return -1;
    }
    return written;
}

int Close(int handle) {
    return CloseHandle(IntToHandle(handle)) ? 0 : win32::ErrnoFromWin32(GetLastError());
}

std::optional<std::uint64_t> SizeOf(int handle) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(IntToHandle(handle), &size)) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace platform::handle_io
