#include "platform/termination_signals.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace platform {

namespace {

int g_nReadFd = -1;
volatile sig_atomic_t g_nWriteFd = -1;
// Lock-free, so the handler may set it and other threads read it without a race.
std::atomic<bool> g_bTerminationRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);
std::once_flag g_pipeOnce;

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnTerminationSignal(int sig) {
    const int savedErrno = errno;
    g_bTerminationRequested.store(true, std::memory_order_relaxed);
    const unsigned char byte = static_cast<unsigned char>(sig);
    // A full pipe already holds a pending signal: dropping this one loses nothing.
    if (g_nWriteFd >= 0) {
        ssize_t written = write(g_nWriteFd, &byte, 1);
        (void)written;
    }
    errno = savedErrno;
}

void CreatePipe() {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
    g_nReadFd = fds[0];
    g_nWriteFd = fds[1];
}

}  // namespace

int InstallTerminationSignalPipe() {
    std::call_once(g_pipeOnce, CreatePipe);
    if (g_nReadFd < 0) return -1;
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals) sigaction(sig, &action, nullptr);
    return g_nReadFd;
}

int TakeTerminationSignal() {
    if (g_nReadFd < 0) return 0;
    int last = 0;
    unsigned char buffer[64];
    for (;;) {
        ssize_t n = read(g_nReadFd, buffer, sizeof buffer);
        if (n > 0) {
            last = buffer[n - 1];
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    return last;
}

bool TerminationRequested() {
    return g_bTerminationRequested.load(std::memory_order_relaxed);
}

void RestoreDefaultTerminationSignals() {
    for (int sig : kSignals) signal(sig, SIG_DFL);
    g_bTerminationRequested.store(false, std::memory_order_relaxed);
}

ESessionEnd ReadSessionEndMessage(const void* message, long long* result) {
    (void)message;
    (void)result;
    return ESessionEnd::kNone;  // the session's end arrives as SIGHUP or SIGTERM here
}

bool RaiseSignal(int sig) {
    return raise(sig) == 0;
}

int SigTerm() {
    return SIGTERM;
}
int SigInt() {
    return SIGINT;
}
int SigHup() {
    return SIGHUP;
}

}  // namespace platform
