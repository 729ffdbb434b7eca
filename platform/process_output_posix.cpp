#include "platform/process_output.h"

#include "platform/child_start_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace platform {

CapturedOutput RunAndCaptureOutput(const std::string& program, const std::vector<std::string>& argv,
                                   std::size_t maxBytes, int timeoutMs,
                                   const std::function<bool()>& shouldStop) {
    CapturedOutput result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        result.errorCode = errno;
        return result;
    }
    int err = 0;
    pid_t pid = argv.empty() ? -1 : posix::StartChild(program, argv, &err, fds[1], fds[1]);
    if (argv.empty()) err = EINVAL;
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        result.errorCode = err;
        return result;
    }
    result.started = true;

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    while (result.text.size() < maxBytes) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || (shouldStop && shouldStop())) {
            result.timedOut = true;
            break;
        }
        // Short waits, so that a stop request is seen soon.
        pollfd p{fds[0], POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) continue;
        if (ready < 0) break;
        std::size_t want = std::min(sizeof buffer, maxBytes - result.text.size());
        ssize_t n = read(fds[0], buffer, want);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        result.text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);

    // Wait for the end within what is left of the time, then kill.
    int status = 0;
    while (true) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return result;
        if (result.timedOut || Clock::now() >= deadline || (shouldStop && shouldStop())) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        usleep(2000);
    }
    if (!result.timedOut && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    return result;
}

}  // namespace platform
