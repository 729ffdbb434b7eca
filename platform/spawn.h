// Starting child processes.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Result of SpawnAndWait.
struct SpawnResult {
    bool started = false;  // false: the program could not be started (errorCode tells why)
    int errorCode = 0;     // errno of the failed start, 0 when started
    int exitStatus = -1;   // exit status when the child exited normally, else -1
    int termSignal = 0;    // signal number when the child was killed by a signal, else 0
};

// Starts program (a path) with argv (argv[0] included) and standard input from /dev/null,
// standard output and error inherited, and waits for it to end. Thread-safe.
SpawnResult SpawnAndWait(const std::string& program, const std::vector<std::string>& argv);

// Starts program with argv and does not wait. The child is reaped in the background so it
// never stays a zombie. Returns the child's process identifier, or -1 with *errorCode set to
// the errno of the failed start. Thread-safe.
int SpawnDetached(const std::string& program, const std::vector<std::string>& argv,
                  int* errorCode = nullptr);

}  // namespace platform
