#include "platform/process_control.h"
#include "platform/process_control_system.h"

#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace platform {

namespace {

std::string ProcPath(int pid, const char* leaf) {
    return "/proc/" + std::to_string(pid) + "/" + leaf;
}

// Called through syscall(): this glibc's <sys/pidfd.h> lacks C linkage for C++.
int PidfdOpen(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0u));
}

int PidfdSendSignal(int fd, int signal) {
    return static_cast<int>(syscall(SYS_pidfd_send_signal, fd, signal, nullptr, 0u));
}

std::int64_t ToNanoseconds(const timespec& ts) {
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

}  // namespace

int CurrentProcessId() {
    return static_cast<int>(getpid());
}

int MaxProcessId() {
    std::ifstream in("/proc/sys/kernel/pid_max");
    long long value = 0;
    if (in >> value && value > 0 && value <= INT_MAX) return static_cast<int>(value);
    return 4194304;  // the kernel's upper limit for pid_max
}

std::optional<ProcessHandle> OpenProcessHandle(int pid) {
    if (pid <= 0) return std::nullopt;
    int fd = PidfdOpen(static_cast<pid_t>(pid));
    if (fd < 0) return std::nullopt;
    return ProcessHandle(pid, fd);
}

bool ProcessIsAlive(const ProcessHandle& process) {
    if (!process.IsOpen()) return false;
    // A pidfd becomes readable when its process has exited (zombies included).
    pollfd pfd{process.Fd(), POLLIN, 0};
    int rc;
    do {
        rc = poll(&pfd, 1, 0);
    } while (rc < 0 && errno == EINTR);
    return rc == 0;
}

std::optional<std::string> ProcessExecutable(const ProcessHandle& process) {
    if (!process.IsOpen()) return std::nullopt;
    char buffer[PATH_MAX];
    ssize_t n = readlink(ProcPath(process.Pid(), "exe").c_str(), buffer, sizeof buffer - 1);
    if (n <= 0) return std::nullopt;
    // Read first, then confirm the handle's process still lives: only then was the identifier
    // not reused by another process while we read.
    if (!ProcessIsAlive(process)) return std::nullopt;
    return std::string(buffer, static_cast<size_t>(n));
}

std::int64_t ProcessStartTimeResolution() {
    long ticks = sysconf(_SC_CLK_TCK);
    if (ticks <= 0) ticks = 100;
    return 1000000000LL / ticks;
}

std::optional<std::int64_t> ProcessStartTime(const ProcessHandle& process) {
    if (!process.IsOpen()) return std::nullopt;
    std::ifstream in(ProcPath(process.Pid(), "stat"));
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    // The command name (field 2) may hold blanks and parentheses: fields after it start
    // behind the last ')'.
    size_t close = line.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream rest(line.substr(close + 1));
    std::string field;
    unsigned long long startTicks = 0;
    // Field 3 (state) is the first after ')'; start time is field 22.
    for (int index = 3; index <= 22; ++index) {
        if (!(rest >> field)) return std::nullopt;
        if (index == 22) {
            try {
                startTicks = std::stoull(field);
            } catch (...) {
                return std::nullopt;
            }
        }
    }
    if (!ProcessIsAlive(process)) return std::nullopt;
    timespec boot{}, real{};
    if (clock_gettime(CLOCK_BOOTTIME, &boot) != 0 || clock_gettime(CLOCK_REALTIME, &real) != 0)
        return std::nullopt;
    std::int64_t sinceBoot = static_cast<std::int64_t>(startTicks) * ProcessStartTimeResolution();
    return ToNanoseconds(real) - (ToNanoseconds(boot) - sinceBoot);
}

std::optional<std::int64_t> FileModificationTime(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return std::nullopt;
    return ToNanoseconds(st.st_mtim);
}

std::optional<std::int64_t> FileChangeTime(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return std::nullopt;
    return ToNanoseconds(st.st_ctim);
}

bool process_system::DeliverSignal(const ProcessHandle& process, int signal) {
    return PidfdSendSignal(process.Fd(), signal) == 0;
}

int KillSignal() {
    return SIGKILL;
}
int TerminateSignal() {
    return SIGTERM;
}

bool WaitProcessEnd(const ProcessHandle& process, int timeoutMs) {
    if (!process.IsOpen()) return true;
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::int64_t elapsedMs = (ToNanoseconds(now) - ToNanoseconds(start)) / 1000000;
        int left = timeoutMs - static_cast<int>(elapsedMs);
        if (left < 0) left = 0;
        pollfd pfd{process.Fd(), POLLIN, 0};
        int rc = poll(&pfd, 1, left);
        if (rc > 0) return true;
        if (rc == 0) return false;
        if (errno != EINTR) return false;
    }
}

}  // namespace platform
