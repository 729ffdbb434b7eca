#include "platform/termination_signals.h"

#include "platform/system_win32.h"

#include <fcntl.h>
#include <io.h>
#include <signal.h>

#include <atomic>
#include <mutex>

namespace platform {

namespace {

// POSIX numbers, so callers see the same values on both systems (Windows has no SIGHUP; the
// closing of the console window and the end of the session stand for it).
constexpr int kSigInt = 2;
constexpr int kSigHup = 1;
constexpr int kSigTerm = 15;

HANDLE g_hRead = nullptr;
HANDLE g_hWrite = nullptr;
HANDLE g_hHandled = nullptr;  // set once the program has finished its close handling
int g_nReadFd = -1;
std::once_flag g_pipeOnce;
std::atomic<bool> g_bTerminationRequested{false};

void Post(int sig) {
    g_bTerminationRequested.store(true, std::memory_order_relaxed);
    const unsigned char byte = static_cast<unsigned char>(sig);
    DWORD written = 0;
    // The write end does not wait: a full pipe already holds a pending signal.
    if (g_hWrite) WriteFile(g_hWrite, &byte, 1, &written, nullptr);
}

void OnCrtSignal(int sig) {
    Post(sig == SIGINT ? kSigInt : kSigTerm);
    signal(sig, OnCrtSignal);  // the C runtime resets the handler before calling it
}

BOOL WINAPI OnConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            Post(kSigInt);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            Post(event == CTRL_CLOSE_EVENT ? kSigHup : kSigTerm);
            // The system ends the process when this returns: give the close handling its
            // time (the system allows about five seconds).
            WaitForSingleObject(g_hHandled, 4500);
            return TRUE;
        default:
            return FALSE;
    }
}

void CreateSignalPipe() {
    SECURITY_ATTRIBUTES attrs{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    HANDLE reading = nullptr, writing = nullptr;
    if (!CreatePipe(&reading, &writing, &attrs, 4096)) return;
    DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
    SetNamedPipeHandleState(writing, &mode, nullptr, nullptr);
    SetNamedPipeHandleState(reading, &mode, nullptr, nullptr);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(reading), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(reading);
        CloseHandle(writing);
        return;
    }
    g_hRead = reading;
    g_hWrite = writing;
    g_hHandled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_nReadFd = fd;
}

}  // namespace

int InstallTerminationSignalPipe() {
    std::call_once(g_pipeOnce, CreateSignalPipe);
    if (g_nReadFd < 0) return -1;
    signal(SIGINT, OnCrtSignal);
    signal(SIGTERM, OnCrtSignal);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    return g_nReadFd;
}

int TakeTerminationSignal() {
    if (!g_hRead) return 0;
    int last = 0;
    unsigned char buffer[64];
    DWORD got = 0;
    while (ReadFile(g_hRead, buffer, sizeof buffer, &got, nullptr) && got > 0)
        last = buffer[got - 1];
    return last;
}

bool TerminationRequested() {
    return g_bTerminationRequested.load(std::memory_order_relaxed);
}

void RestoreDefaultTerminationSignals() {
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    if (g_hHandled) SetEvent(g_hHandled);
    g_bTerminationRequested.store(false, std::memory_order_relaxed);
}

ESessionEnd ReadSessionEndMessage(const void* message, long long* result) {
    const MSG* msg = static_cast<const MSG*>(message);
    if (!msg) return ESessionEnd::kNone;
    if (msg->message == WM_QUERYENDSESSION) {
        *result = TRUE;  // nothing to save: the close handling only cleans up
        return ESessionEnd::kAnswered;
    }
    if (msg->message != WM_ENDSESSION) return ESessionEnd::kNone;
    *result = 0;
    if (!msg->wParam)
        return ESessionEnd::kAnswered;  // another program refused: the session goes on
    // Every top-level window gets the message: the request is recorded once.
    static std::atomic<bool> s_bPosted{false};
    if (!s_bPosted.exchange(true)) Post(kSigTerm);
    return ESessionEnd::kEnds;
}

bool RaiseSignal(int sig) {
    if (sig == kSigHup) {
        // No such signal in the C runtime: delivered as the console's closing would be.
        if (!g_hWrite) return false;
        Post(kSigHup);
        return true;
    }
    return raise(sig == kSigInt ? SIGINT : sig == kSigTerm ? SIGTERM : sig) == 0;
}

int SigTerm() {
    return kSigTerm;
}
int SigInt() {
    return kSigInt;
}
int SigHup() {
    return kSigHup;
}

}  // namespace platform
