#include "platform/process_control.h"

#include "platform/system_win32.h"

#include <cctype>
#include <climits>
#include <mutex>
#include <utility>

namespace platform {

namespace {

using win32::HandleToInt;
using win32::IntToHandle;

std::mutex g_recorderMutex;
SignalRecorder g_recorder;

SignalRecorder CurrentRecorder() {
    std::lock_guard<std::mutex> lock(g_recorderMutex);
    return g_recorder;
}

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

std::optional<int> ParseProcessId(const std::string& name) {
    size_t i = 0;
    while (i < name.size() && std::isspace(static_cast<unsigned char>(name[i]))) ++i;
    bool negative = false;
    if (i < name.size() && (name[i] == '+' || name[i] == '-')) {
        negative = name[i] == '-';
        ++i;
    }
    const long long limit = MaxProcessId();
    long long value = 0;
    size_t digits = 0;
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i, ++digits) {
        value = value * 10 + (name[i] - '0');
        if (value > limit) return std::nullopt;
    }
    if (digits == 0 || negative || value <= 0) return std::nullopt;
    return static_cast<int>(value);
}

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept
    : m_nPid(std::exchange(other.m_nPid, -1)), m_nFd(std::exchange(other.m_nFd, -1)) {}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
    if (this != &other) {
        if (m_nFd >= 0) CloseHandle(IntToHandle(m_nFd));
        m_nPid = std::exchange(other.m_nPid, -1);
        m_nFd = std::exchange(other.m_nFd, -1);
    }
    return *this;
}

ProcessHandle::~ProcessHandle() {
    if (m_nFd >= 0) CloseHandle(IntToHandle(m_nFd));
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

bool SignalProcess(const ProcessHandle& process, int signal) {
    if (!process.IsOpen()) return false;
    if (SignalRecorder recorder = CurrentRecorder()) {
        recorder(process.Pid(), signal);
        return true;
    }
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

void SetSignalRecorder(SignalRecorder recorder) {
    std::lock_guard<std::mutex> lock(g_recorderMutex);
    g_recorder = std::move(recorder);
}

bool SignalRecorderInstalled() {
    return static_cast<bool>(CurrentRecorder());
}

bool SignalRecordedOnly(int pid, int signal) {
    SignalRecorder recorder = CurrentRecorder();
    if (!recorder) return false;
    recorder(pid, signal);
    return true;
}

bool WaitProcessEnd(const ProcessHandle& process, int timeoutMs) {
    if (!process.IsOpen()) return true;
    return WaitForSingleObject(IntToHandle(process.Fd()),
                               static_cast<DWORD>(timeoutMs < 0 ? 0 : timeoutMs)) == WAIT_OBJECT_0;
}

}  // namespace platform
