#include "platform/child_cpu_times.h"

#include "platform/system_win32.h"

namespace platform {

// Windows keeps no total for a process's children: the spawns add each waited-for child's
// times as it ends (its own children are not counted).
double ChildrenCpuSeconds() {
    return win32::ChildCpuSecondsSoFar();
}

}  // namespace platform
