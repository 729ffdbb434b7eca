// CPU time the running process has used, for timing statements.
#pragma once

namespace platform {

// User and kernel CPU time of the whole process, in seconds.
struct CpuTimes {
    double userSeconds = 0.0;
    double systemSeconds = 0.0;
};

// True when this build can read the process's CPU times (then ReadCpuTimes succeeds).
bool CpuTimesAvailable();

// Reads the CPU times used so far by the calling process. Returns false (and leaves *out
// unchanged) when they cannot be read. Thread-safe.
bool ReadCpuTimes(CpuTimes* out);

}  // namespace platform
