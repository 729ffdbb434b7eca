// What process control shares on every system: reading registry names as identifiers, the
// handle's ownership and the signal recorder that tests install.
#include "platform/process_control.h"

#include <cctype>
#include <mutex>
#include <utility>

#include "platform/handle_io.h"
#include "platform/process_control_system.h"

namespace platform {

namespace {

std::mutex g_recorderMutex;
SignalRecorder g_recorder;

SignalRecorder CurrentRecorder() {
    std::lock_guard<std::mutex> lock(g_recorderMutex);
    return g_recorder;
}

}  // namespace

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
        // Stop counting once beyond any valid identifier so the value cannot overflow.
        if (value > limit) return std::nullopt;
    }
    if (digits == 0 || negative || value <= 0) return std::nullopt;
    return static_cast<int>(value);
}

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept
    : m_nPid(std::exchange(other.m_nPid, -1)), m_nFd(std::exchange(other.m_nFd, -1)) {}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
    if (this != &other) {
        if (m_nFd >= 0) handle_io::Close(m_nFd);
        m_nPid = std::exchange(other.m_nPid, -1);
        m_nFd = std::exchange(other.m_nFd, -1);
    }
    return *this;
}

ProcessHandle::~ProcessHandle() {
    if (m_nFd >= 0) handle_io::Close(m_nFd);
}

bool SignalProcess(const ProcessHandle& process, int signal) {
    if (!process.IsOpen()) return false;
    if (SignalRecorder recorder = CurrentRecorder()) {
        recorder(process.Pid(), signal);
        return true;
    }
    return process_system::DeliverSignal(process, signal);
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

}  // namespace platform
