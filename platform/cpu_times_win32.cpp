#include "platform/cpu_times.h"

#include "platform/system_win32.h"

namespace platform {

namespace {

double Seconds(const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) *
           1e-7;
}

}  // namespace

bool CpuTimesAvailable() {
    return true;
}

bool ReadCpuTimes(CpuTimes* out) {
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user)) return false;
    out->userSeconds = Seconds(user);
    out->systemSeconds = Seconds(kernel);
    return true;
}

}  // namespace platform
