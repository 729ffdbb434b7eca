// CPU time used by the child processes the calling process has waited for, so that a
// benchmark can compare a command it runs with its own work on a machine shared with others.
#pragma once

namespace platform {

// User plus kernel CPU seconds of every child (and their descendants) waited for so far; 0 when
// the system cannot tell. Thread-safe.
double ChildrenCpuSeconds();

}  // namespace platform
