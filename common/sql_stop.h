// Stopping statements that run on package data. Package SQL and the queries over package
// databases may run for ever (an endless recursive query, a hostile view), so every package
// connection carries a progress handler that ends the running statement as soon as one of
// these holds:
//  - the process was asked to terminate (SIGTERM, SIGINT, SIGHUP: the signal handler sets a
//    flag, so no event loop needs to run for it, platform::TerminationRequested);
//  - the stop flag of the calling thread reads true (CStopScope: the import's Cancel, a
//    background loader's stop);
//  - the calling thread has a statement time limit and the statement has run longer (the
//    window thread: it never waits on package data without limit).
// The statement then fails with SQLITE_INTERRUPT. Loops that run many short statements ask
// StopRequested between them, since a short statement may end before the handler is called.
#pragma once

#include <atomic>
#include <chrono>

struct sqlite3;

namespace common {

// Installs the handler on db (a progress handler and a statement-start trace, replacing any
// the connection had). Any thread; db must be open.
void InstallStopHandler(sqlite3* db);

// True when the calling thread's work on package data must stop: termination requested or
// the thread's stop flag set (the time limit applies to single statements only).
bool StopRequested();

// While it lives, statements on the calling thread stop once *pFlag reads true (null: no flag
// of its own). Restores the thread's previous flag when it ends, so scopes nest. The flag must
// outlive the scope; any thread may set it.
class CStopScope {
  public:
    explicit CStopScope(const std::atomic<bool>* pFlag);
    ~CStopScope();
    CStopScope(const CStopScope&) = delete;
    CStopScope& operator=(const CStopScope&) = delete;

  private:
    const std::atomic<bool>* m_pPrevious;
};

// Called (on the thread whose statement it stopped) once for each statement stopped by the
// time limit. Must not run SQL or wait; posting a message is fine.
using TimeLimitHook = void (*)(void* context);

// Every statement the calling thread starts from now on stops after limit (zero: no limit),
// and hook(context) is called when one does. From then on every statement of the thread stops
// at once, so a handler running several queries returns within one limit, until
// ResumeAfterTimeLimit: call it when the thread is back at its event loop (the hook may queue
// that). For the window thread, set once at its start.
void SetThreadTimeLimit(std::chrono::milliseconds limit, TimeLimitHook hook = nullptr,
                        void* context = nullptr);
void ResumeAfterTimeLimit();

// While it lives, the calling thread's statements have no time limit (the thread's stop flag and
// termination still stop them). For window-thread work that steps one statement across many
// passes of the event loop behind its own progress window and Cancel, as the CSV export does:
// the user sees it and can stop it, so it is not waiting unseen. Restores the limit at its end.
class CNoTimeLimitScope {
  public:
    CNoTimeLimitScope();
    ~CNoTimeLimitScope();
    CNoTimeLimitScope(const CNoTimeLimitScope&) = delete;
    CNoTimeLimitScope& operator=(const CNoTimeLimitScope&) = delete;

  private:
    std::chrono::steady_clock::duration m_previous;
};

}  // namespace common
