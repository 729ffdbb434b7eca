#include "platform/spawn.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

namespace platform {
namespace {

// Starts the child with standard input from /dev/null and default signal handling, so a
// child never inherits a blocked or ignored signal from whatever thread started it.
// Returns the pid, or -1 with *err set.
pid_t Start(const std::string& program, const std::vector<std::string>& argv, int* err) {
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
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

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

int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

}  // namespace

SpawnResult SpawnAndWait(const std::string& program, const std::vector<std::string>& argv) {
    SpawnResult result;
    if (argv.empty()) {
        result.errorCode = EINVAL;
        return result;
    }
    int err = 0;
    pid_t pid = Start(program, argv, &err);
    if (pid < 0) {
        result.errorCode = err;
        return result;
    }
    result.started = true;
    int status = WaitFor(pid);
    if (status >= 0 && WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (status >= 0 && WIFSIGNALED(status)) {
        result.termSignal = WTERMSIG(status);
    }
    return result;
}

int SpawnDetached(const std::string& program, const std::vector<std::string>& argv,
                  int* errorCode) {
    int err = EINVAL;
    pid_t pid = argv.empty() ? -1 : Start(program, argv, &err);
    if (errorCode) *errorCode = pid < 0 ? err : 0;
    if (pid < 0) return -1;
    // One small waiting thread per child: it ends when the child does, so nothing is left
    // to reap and no zombie remains, whether or not anyone watches the child.
    std::thread([pid] { WaitFor(pid); }).detach();
    return static_cast<int>(pid);
}

}  // namespace platform
