// Inside the platform layer only: the one way its POSIX implementations start a child process.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace platform::posix {

// Starts program with argv (argv[0] included, argv not empty) through posix_spawn, with
// standard input from /dev/null and default signal handling, so a child never inherits a
// blocked or ignored signal from whatever thread started it. stdoutFd and stderrFd, when not
// -1, become the child's standard output and error (else they are inherited); bOwnGroup makes
// the child the leader of a new process group (whose identifier is its pid). Returns the pid,
// or -1 with *err set to the error number. Thread-safe.
pid_t StartChild(const std::string& program, const std::vector<std::string>& argv, int* err,
                 int stdoutFd = -1, int stderrFd = -1, bool bOwnGroup = false);

}  // namespace platform::posix
