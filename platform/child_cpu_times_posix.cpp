#include "platform/child_cpu_times.h"

#include <sys/resource.h>

namespace platform {

double ChildrenCpuSeconds() {
    struct rusage usage;
    if (getrusage(RUSAGE_CHILDREN, &usage) != 0) return 0.0;
    auto seconds = [](const struct timeval& tv) { return tv.tv_sec + tv.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace platform
