#include "platform/spawn.h"

#include "platform/child_start_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace platform {

namespace posix {

pid_t StartChild(const std::string& program, const std::vector<std::string>& argv, int* err,
                 int stdoutFd, int stderrFd, bool bOwnGroup) {
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    int rc = posix_spawn_file_actions_init(&actions);
    if (rc != 0) {
        *err = rc;
        return -1;
    }
    rc = posix_spawnattr_init(&attr);
    if (rc != 0) {
        posix_spawn_file_actions_destroy(&actions);
        *err = rc;
        return -1;
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    if (stderrFd >= 0) posix_spawn_file_actions_adddup2(&actions, stderrFd, 2);
    sigset_t empty;
    sigemptyset(&empty);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGQUIT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigmask(&attr, &empty);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (bOwnGroup) {
        posix_spawnattr_setpgroup(&attr, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attr, flags);

    pid_t pid = -1;
    rc = posix_spawn(&pid, program.c_str(), &actions, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        *err = rc;
        return -1;
    }
    *err = 0;
    return pid;
}

}  // namespace posix

namespace {

using posix::StartChild;

int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

void RecordStatus(int status, SpawnResult& result) {
    if (status >= 0 && WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (status >= 0 && WIFSIGNALED(status)) {
        result.termSignal = WTERMSIG(status);
    }
}

// A file descriptor closed when it goes out of scope.
class CFd {
  public:
    explicit CFd(int fd = -1) : m_fd(fd) {}
    ~CFd() { Reset(); }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }
    int Release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd = -1) {
        if (m_fd >= 0) close(m_fd);
        m_fd = fd;
    }

  private:
    int m_fd;
};

// Opens a pseudo-terminal pair in raw mode (bytes pass untranslated) with an 80-column window,
// both ends close-on-exec. False when the system has none to give.
bool OpenRawTerminal(CFd& reading, CFd& writing) {
    CFd master(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (master.Get() < 0 || grantpt(master.Get()) != 0 || unlockpt(master.Get()) != 0) return false;
    char name[128];
    if (ptsname_r(master.Get(), name, sizeof name) != 0) return false;
    CFd slave(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (slave.Get() < 0) return false;
    termios mode{};
    if (tcgetattr(slave.Get(), &mode) == 0) {
        cfmakeraw(&mode);
        tcsetattr(slave.Get(), TCSANOW, &mode);
    }
    winsize size{};
    size.ws_col = 80;
    size.ws_row = 24;
    ioctl(slave.Get(), TIOCSWINSZ, &size);
    reading.Reset(master.Release());
    writing.Reset(slave.Release());
    return true;
}

}  // namespace

SpawnResult SpawnAndWait(const std::string& program, const std::vector<std::string>& argv) {
    SpawnResult result;
    if (argv.empty()) {
        result.errorCode = EINVAL;
        return result;
    }
    int err = 0;
    pid_t pid = StartChild(program, argv, &err);
    if (pid < 0) {
        result.errorCode = err;
        return result;
    }
    result.started = true;
    RecordStatus(WaitFor(pid), result);
    return result;
}

SpawnResult SpawnWatched(const std::string& program, const std::vector<std::string>& argv,
                         const OutputSink& sink, const StopRequest& stop, int pollMs) {
    SpawnResult result;
    if (argv.empty()) {
        result.errorCode = EINVAL;
        return result;
    }
    CFd reading;
    CFd writing;
    if (!OpenRawTerminal(reading, writing)) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) {
            result.errorCode = errno;
            return result;
        }
        reading.Reset(ends[0]);
        writing.Reset(ends[1]);
    }
    int err = 0;
    // A group of its own, so that a stop also ends whatever the child started.
    pid_t pid = StartChild(program, argv, &err, writing.Get(), -1, true);
    // Only the child may hold the writing end: its end is the output's end.
    writing.Reset();
    if (pid < 0) {
        result.errorCode = err;
        return result;
    }
    result.started = true;
    fcntl(reading.Get(), F_SETFL, fcntl(reading.Get(), F_GETFL) | O_NONBLOCK);

    char buffer[16384];
    bool bEnded = false;  // reaped already
    int status = -1;
    // The stop and the child's end are looked at every interval, also while the child writes
    // without pause (a stop would otherwise wait until it fell quiet).
    const auto interval = std::chrono::milliseconds(pollMs < 1 ? 1 : pollMs);
    auto lastLooked = std::chrono::steady_clock::now();
    for (;;) {
        pollfd wanted{reading.Get(), POLLIN, 0};
        int ready = poll(&wanted, 1, static_cast<int>(interval.count()));
        bool bDrained = false;
        if (ready > 0) {
            ssize_t n = read(reading.Get(), buffer, sizeof buffer);
            if (n > 0) {
                if (sink) sink(buffer, static_cast<std::size_t>(n));
                if (std::chrono::steady_clock::now() - lastLooked < interval) continue;
            } else {
                // End of the pipe, or EIO once no process holds the terminal any more.
                bDrained = n == 0 || (errno != EINTR && errno != EAGAIN);
            }
        } else if (ready < 0 && errno != EINTR) {
            bDrained = true;
        }
        if (bDrained) break;
        lastLooked = std::chrono::steady_clock::now();
        if (!result.stopped && stop && stop()) {
            // The child is not reaped yet, so its group's identifier is still its own.
            kill(-pid, SIGKILL);
            result.stopped = true;
        }
        // A process the child left behind may keep the output open: the child's own end
        // decides, and what it wrote before it ended is read first.
        if (!bEnded && waitpid(pid, &status, WNOHANG) == pid) bEnded = true;
        if (bEnded) {
            ssize_t n;
            while ((n = read(reading.Get(), buffer, sizeof buffer)) > 0)
                if (sink) sink(buffer, static_cast<std::size_t>(n));
            break;
        }
    }
    RecordStatus(bEnded ? status : WaitFor(pid), result);
    return result;
}

int SpawnDetached(const std::string& program, const std::vector<std::string>& argv,
                  int* errorCode) {
    int err = EINVAL;
    pid_t pid = argv.empty() ? -1 : StartChild(program, argv, &err);
    if (errorCode) *errorCode = pid < 0 ? err : 0;
    if (pid < 0) return -1;
    // One small waiting thread per child: it ends when the child does, so nothing is left
    // to reap and no zombie remains, whether or not anyone watches the child.
    std::thread([pid] { WaitFor(pid); }).detach();
    return static_cast<int>(pid);
}

}  // namespace platform
