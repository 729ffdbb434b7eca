// Running a program to read what it prints, with bounds: the output kept is limited and the
// program is killed when it does not end in time, so a wrong or hostile program in its place
// never blocks or floods the caller.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace platform {

struct CapturedOutput {
    bool started = false;   // false: the program could not be started (errorCode tells why)
    int errorCode = 0;      // errno of the failed start
    int exitStatus = -1;    // exit status when the program exited normally, else -1
    bool timedOut = false;  // the program was killed because it ran past the time limit
    std::string text;       // standard output and standard error as read, at most maxBytes
};

// Starts program with argv (argv[0] included), standard input from /dev/null and standard
// output and error into one pipe, reads up to maxBytes of it and waits for the program to end,
// at most timeoutMs milliseconds in all (then it is killed). Once maxBytes are read the rest
// is not read (the program gets a broken pipe). shouldStop, when given, is asked about ten
// times a second; true kills the program at once (the result then counts as timed out).
// Thread-safe; blocks the calling thread.
CapturedOutput RunAndCaptureOutput(const std::string& program, const std::vector<std::string>& argv,
                                   std::size_t maxBytes, int timeoutMs,
                                   const std::function<bool()>& shouldStop = {});

}  // namespace platform
