// Identifying and stopping other processes safely. A process is looked at and signalled only
// through a handle (a pidfd on Linux) taken once, so a process that ends between the checks
// and the signal cannot be replaced by an unrelated one under the same identifier.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

// Identifier of the calling process.
int CurrentProcessId();

// Largest process identifier the system hands out (from /proc/sys/kernel/pid_max; a
// conservative 4194304 when it cannot be read).
int MaxProcessId();

// Reads a registry entry name as a process identifier: optional leading blanks, an optional
// sign, then decimal digits up to the first other character. Returns nothing when there are no
// digits, when the value overflows, or when it is 0, negative or above MaxProcessId(): such a
// name names a process group or every process and must never be signalled.
std::optional<int> ParseProcessId(const std::string& name);

// An open handle on one process. Move-only; closes the handle when destroyed.
class ProcessHandle {
  public:
    ProcessHandle() = default;
    ProcessHandle(int pid, int fd) : m_nPid(pid), m_nFd(fd) {}
    ProcessHandle(ProcessHandle&& other) noexcept;
    ProcessHandle& operator=(ProcessHandle&& other) noexcept;
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    ~ProcessHandle();

    bool IsOpen() const { return m_nFd >= 0; }
    int Pid() const { return m_nPid; }
    int Fd() const { return m_nFd; }

  private:
    int m_nPid = -1;
    int m_nFd = -1;
};

// Opens a handle on the process pid (pid must be > 0). Returns nothing when there is no such
// process or the system refuses.
std::optional<ProcessHandle> OpenProcessHandle(int pid);

// True while the process behind the handle has not ended (a zombie counts as ended).
bool ProcessIsAlive(const ProcessHandle& process);

// Full path of the process's executable, or nothing when it cannot be read or the process
// ended meanwhile (the answer is checked against the handle after reading it).
std::optional<std::string> ProcessExecutable(const ProcessHandle& process);

// Start time of the process in nanoseconds since the Unix epoch (resolution: clock ticks), or
// nothing when it cannot be read or the process ended meanwhile.
std::optional<std::int64_t> ProcessStartTime(const ProcessHandle& process);

// Modification time of the file at path in nanoseconds since the Unix epoch (links are not
// followed), or nothing when it cannot be read.
std::optional<std::int64_t> FileModificationTime(const std::string& path);

// Status-change time of the file at path in nanoseconds since the Unix epoch (links are not
// followed), or nothing when it cannot be read. Unlike the modification time, no program can
// set it back: it is the clock's time of the last change to the file or its attributes.
std::optional<std::int64_t> FileChangeTime(const std::string& path);

// Granularity of ProcessStartTime in nanoseconds (one clock tick): comparisons with file times
// allow for it.
std::int64_t ProcessStartTimeResolution();

// Sends a signal through the handle. Returns true when it was delivered (or recorded).
// While a signal recorder is installed, nothing is sent: the recorder gets (pid, signal).
bool SignalProcess(const ProcessHandle& process, int signal);

// Signal numbers used by callers that include no POSIX header.
int KillSignal();       // SIGKILL
int TerminateSignal();  // SIGTERM

// Test seam: while installed, every SignalProcess call and every SignalRecordedOnly call is
// passed to the recorder instead of the system. Install it before the code under test runs and
// remove it (empty function) afterwards; not for concurrent use with running sweeps.
using SignalRecorder = std::function<void(int pid, int signal)>;
void SetSignalRecorder(SignalRecorder recorder);
bool SignalRecorderInstalled();

// Reports to the recorder a signal that a caller decided to send to a bare identifier without
// opening a handle (never sent to the system: it only exists so tests can prove that nothing
// would have been sent). Returns false when no recorder is installed.
bool SignalRecordedOnly(int pid, int signal);

// Waits up to timeoutMs milliseconds for the process behind the handle to end. Returns true
// when it has ended.
bool WaitProcessEnd(const ProcessHandle& process, int timeoutMs);

}  // namespace platform
