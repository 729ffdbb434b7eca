// Inside the platform layer only: the system call that process_control.cpp wraps with the
// signal recorder; process_control_posix.cpp and process_control_win32.cpp implement it.
#pragma once

#include "platform/process_control.h"

namespace platform::process_system {

// Delivers signal to the open process (pidfd_send_signal on Linux; on Windows every signal
// ends the process). True when it was delivered. Any thread.
bool DeliverSignal(const ProcessHandle& process, int signal);

}  // namespace platform::process_system
