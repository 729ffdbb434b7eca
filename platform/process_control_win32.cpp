#include "platform/process_control.h"
#include "platform/process_control_system.h"

#include "platform/system_win32.h"

#include <climits>

namespace platform {

namespace {

using win32::HandleToInt;
using win32::IntToHandle;

// POSIX numbers, so callers and tests see the same values on both systems.
constexpr int kSigKill = 9;
constexpr int kSigTerm = 15;

}  // namespace

int CurrentProcessId() {
    return static_cast<int>(GetCurrentProcessId());
}

int MaxProcessId() {
    // Windows sets no lower bound than its 32-bit identifiers; the interface's int is the limit.
    return INT_MAX;
}

std::optional<ProcessHandle> OpenProcessHandle(int pid) {
    if (pid <= 0) return std::nullopt;
    // The handle keeps the identifier from being reused while it is open.
    HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                           FALSE, static_cast<DWORD>(pid));
    if (!h) return std::nullopt;
    return ProcessHandle(pid, HandleToInt(h));
}

bool ProcessIsAlive(const ProcessHandle& process) {
    if (!process.IsOpen()) return false;
    return WaitForSingleObject(IntToHandle(process.Fd()), 0) == WAIT_TIMEOUT;
}

std::optional<std::string> ProcessExecutable(const ProcessHandle& process) {
    if (!process.IsOpen()) return std::nullopt;
    std::wstring buffer(32768, L'\0');
    DWORD size = static_cast<DWORD>(buffer.size());
    if (!QueryFullProcessImageNameW(IntToHandle(process.Fd()), 0, buffer.data(), &size))
        return std::nullopt;
    buffer.resize(size);
    if (!ProcessIsAlive(process)) return std::nullopt;
    return win32::DisplayPath(buffer);
}

std::int64_t ProcessStartTimeResolution() {
    // One tick of the system clock that stamps process creation (15.625 ms by default).
    return 15625000;
}

std::optional<std::int64_t> ProcessStartTime(const ProcessHandle& process) {
    if (!process.IsOpen()) return std::nullopt;
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(IntToHandle(process.Fd()), &creation, &exit, &kernel, &user))
        return std::nullopt;
    if (!ProcessIsAlive(process)) return std::nullopt;
    return win32::FileTimeToUnixNs(creation);
}

std::optional<std::int64_t> FileModificationTime(const std::string& path) {
    if (path.empty()) return std::nullopt;
    WIN32_FILE_ATTRIBUTE_DATA data;
    // Reads the entry itself: a link's own time, as lstat gives it.
    if (!GetFileAttributesExW(win32::SystemPath(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return win32::FileTimeToUnixNs(data.ftLastWriteTime);
}

std::optional<std::int64_t> FileChangeTime(const std::string& path) {
    if (path.empty()) return std::nullopt;
    // The entry itself, a link's own times included; only its attributes are read.
    HANDLE h =
        CreateFileW(win32::SystemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    FILE_BASIC_INFO info{};
    const bool ok = GetFileInformationByHandleEx(h, FileBasicInfo, &info, sizeof info) != 0;
    CloseHandle(h);
    if (!ok) return std::nullopt;
    FILETIME change;
    change.dwLowDateTime = static_cast<DWORD>(info.ChangeTime.QuadPart);
    change.dwHighDateTime = static_cast<DWORD>(info.ChangeTime.QuadPart >> 32);
    return win32::FileTimeToUnixNs(change);
}

bool process_system::DeliverSignal(const ProcessHandle& process, int signal) {
    // Windows has no signals to deliver: every one ends the process, with 128 + the number as
    // its exit code, the code a shell reports for a process a signal killed.
    return TerminateProcess(IntToHandle(process.Fd()), 128u + static_cast<unsigned>(signal)) != 0;
}

int KillSignal() {
    return kSigKill;
}
int TerminateSignal() {
    return kSigTerm;
}

bool WaitProcessEnd(const ProcessHandle& process, int timeoutMs) {
    if (!process.IsOpen()) return true;
    return WaitForSingleObject(IntToHandle(process.Fd()),
                               static_cast<DWORD>(timeoutMs < 0 ? 0 : timeoutMs)) == WAIT_OBJECT_0;
}

}  // namespace platform
