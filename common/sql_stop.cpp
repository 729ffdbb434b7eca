#include "common/sql_stop.h"

#include <sqlite3.h>

#include "platform/termination_signals.h"

namespace common {

namespace {

using Clock = std::chrono::steady_clock;

// Virtual-machine steps between two calls of the handler: a few microseconds of work, so a
// stop takes effect at once and costs nothing measurable.
constexpr int kProgressSteps = 1000;

struct SThreadStop {
    const std::atomic<bool>* pFlag = nullptr;
    Clock::duration limit{0};
    TimeLimitHook hook = nullptr;
    void* context = nullptr;
    Clock::time_point started;  // of the statement the thread runs now
    bool bTripped = false;      // a statement ran past the limit; the thread has not resumed
};

thread_local SThreadStop t_stop;

bool TimeLimitPassed() {
    if (t_stop.limit.count() <= 0) return false;
    if (t_stop.bTripped) return true;
    if (Clock::now() - t_stop.started <= t_stop.limit) return false;
    t_stop.bTripped = true;
    if (t_stop.hook) t_stop.hook(t_stop.context);
    return true;
}

int OnProgress(void*) {
    return StopRequested() || TimeLimitPassed() ? 1 : 0;
}

int OnTrace(unsigned type, void*, void*, void*) {
    // A statement (or a trigger's program) begins: its time starts now.
    if (type == SQLITE_TRACE_STMT && t_stop.limit.count() > 0) t_stop.started = Clock::now();
    return 0;
}

}  // namespace

void InstallStopHandler(sqlite3* db) {
    if (!db) return;
    sqlite3_progress_handler(db, kProgressSteps, OnProgress, nullptr);
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, OnTrace, nullptr);
}

bool StopRequested() {
    if (platform::TerminationRequested()) return true;
    return t_stop.pFlag && t_stop.pFlag->load(std::memory_order_relaxed);
}

CStopScope::CStopScope(const std::atomic<bool>* pFlag) : m_pPrevious(t_stop.pFlag) {
    t_stop.pFlag = pFlag;
}

CStopScope::~CStopScope() {
    t_stop.pFlag = m_pPrevious;
}

void SetThreadTimeLimit(std::chrono::milliseconds limit, TimeLimitHook hook, void* context) {
    t_stop.limit = limit;
    t_stop.hook = hook;
    t_stop.context = context;
    t_stop.started = Clock::now();
    t_stop.bTripped = false;
}

void ResumeAfterTimeLimit() {
    t_stop.bTripped = false;
}

CNoTimeLimitScope::CNoTimeLimitScope() : m_previous(t_stop.limit) {
    t_stop.limit = Clock::duration{0};
}

CNoTimeLimitScope::~CNoTimeLimitScope() {
    t_stop.limit = m_previous;
    t_stop.started = Clock::now();
}

}  // namespace common
