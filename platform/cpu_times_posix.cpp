#include "platform/cpu_times.h"

#include <sys/resource.h>

namespace platform {

bool CpuTimesAvailable() {
    return true;
}

bool ReadCpuTimes(CpuTimes* out) {
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0) return false;
    out->userSeconds = static_cast<double>(usage.ru_utime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec) * 1e-6;
    out->systemSeconds = static_cast<double>(usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_stime.tv_usec) * 1e-6;
    return true;
}

}  // namespace platform
