// Starting child processes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// Result of SpawnAndWait.
struct SpawnResult {
    bool started = false;  // false: the program could not be started (errorCode tells why)
    int errorCode = 0;     // errno of the failed start, 0 when started
    int exitStatus = -1;   // exit status when the child exited normally, else -1
    int termSignal = 0;    // signal number when the child was killed by a signal, else 0
    bool stopped = false;  // SpawnWatched: the child was killed because the caller asked
};

// Starts program (a path) with argv (argv[0] included) and standard input from /dev/null,
// standard output and error inherited, and waits for it to end. Thread-safe.
SpawnResult SpawnAndWait(const std::string& program, const std::vector<std::string>& argv);

// Starts program with argv and does not wait. The child is reaped in the background so it
// never stays a zombie. Returns the child's process identifier, or -1 with *errorCode set to
// the errno of the failed start. Thread-safe.
int SpawnDetached(const std::string& program, const std::vector<std::string>& argv,
                  int* errorCode = nullptr);

// Receives what a watched child writes to its standard output, piece by piece as it arrives.
using OutputSink = std::function<void(const char* data, std::size_t size)>;
// Asked about every pollMs while a watched child runs; true stops the child.
using StopRequest = std::function<bool()>;

// Starts program like SpawnAndWait, but with standard output on a pseudo-terminal of its own
// (so a program that shows its progress only on a terminal shows it there; line ends are not
// translated), or on a pipe when no pseudo-terminal can be made. Standard error is inherited.
// Every byte the child writes is passed to sink on the calling thread; the call returns when
// the child has ended and its output is drained. The child leads a process group of its own;
// when stop (may be empty) returns true, that group (the child and whatever it started) is
// killed (SIGKILL), the child waited for, and the result's stopped is set. Blocks the calling
// thread; thread-safe.
SpawnResult SpawnWatched(const std::string& program, const std::vector<std::string>& argv,
                         const OutputSink& sink, const StopRequest& stop, int pollMs = 100);

}  // namespace platform
