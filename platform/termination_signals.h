// Turning the termination signals (SIGTERM, SIGINT, SIGHUP) into an ordinary event: the
// signal handler only writes the signal number into a pipe; the user-interface thread watches
// the pipe's read end (for example with a QSocketNotifier) and runs its close handling there,
// where it may do anything. One pipe per process.
#pragma once

namespace platform {

// Creates the pipe (once) and installs the handler for SIGTERM, SIGINT and SIGHUP. Returns
// the read end of the pipe (non-blocking, close-on-exec), or -1 when it cannot be set up.
// Calling it again returns the same descriptor. Call it from the main thread before the
// watching starts; the descriptor stays open for the life of the process.
int InstallTerminationSignalPipe();

// Reads every signal number waiting in the pipe and returns the last one, or 0 when none was
// waiting. Call it from the thread that watches the descriptor when it becomes readable.
int TakeTerminationSignal();

// True from the moment one of the three signals arrived (the handler sets it, so any thread
// sees it at once, also while the watching thread is busy) until
// RestoreDefaultTerminationSignals. Work that may run long polls it to give up early.
bool TerminationRequested();

// Puts the default action back for the three signals (the pipe stays) and clears
// TerminationRequested. For a program that has finished its close handling and should now die
// on the next signal.
void RestoreDefaultTerminationSignals();

// What a native window message says about the end of the user's session (Windows only; on
// other systems every message is kNone).
enum class ESessionEnd {
    kNone,      // not a message of the session's end: the caller handles it as usual
    kAnswered,  // the system asks whether the session may end (*result is set to "yes"), or
                // tells that it does not end after all (*result set): nothing else to do
    kEnds,      // the session ends: a termination request is recorded as SIGTERM would record
                // it (first time only), *result is set; the caller must let the close handling
                // run before it returns from the message, since the system ends the process then
};
// Reads message, a pointer to the system's window message record (MSG on Windows), as the
// native event filter of a Qt program gets it. User-interface thread.
ESessionEnd ReadSessionEndMessage(const void* message, long long* result);

// Sends sig to the calling process itself (tests use this to exercise the handler).
bool RaiseSignal(int sig);

// Signal numbers for callers that include no POSIX header.
int SigTerm();
int SigInt();
int SigHup();

}  // namespace platform
