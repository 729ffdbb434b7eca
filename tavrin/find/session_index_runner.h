// The text indexes of the packages of a run, built one after the other on one thread of their
// own: the third step of the background work, after each package's row load. The main dialog
// queues a package when its load has ended, shows each package's state in the ticker, and
// stops everything at close and on SIGTERM (the build checks the request between lines and
// rows, and its package statements through a progress handler, so a stop takes well under a
// second). Switching packages stops nothing, as with the loads.
//
// One thread for all packages keeps the indexes to one core at most. The packages can be
// browsed meanwhile: a build reads Parent.db and child.db with read-only connections of its
// own and writes only the package's index file.
//
// All members may be called from any thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tavrin/find/session_index.h"

namespace session_index {

// What the ticker shows for a package's index.
struct IndexTickerState {
    IndexStatus status = IndexStatus::kMissing;  // kMissing: never queued in this run
    bool bWaiting = false;  // queued behind another package's build (status kBuilding)
    int nPercent = 0;       // how far, 0 to 100
    std::string strError;   // after kFailed
};

// The ticker text for a package's index (find_strings.h), 0 when there is none to show.
int IndexTickerStringId(const IndexTickerState& state);

class CSessionIndexRunner {
  public:
    // Called on the build thread when a package's build has ended (also after a stop), with
    // the package's name and the outcome.
    using DoneCallback = std::function<void(const std::string&, const SessionIndexOutcome&)>;

    CSessionIndexRunner() = default;
    CSessionIndexRunner(const CSessionIndexRunner&) = delete;
    CSessionIndexRunner& operator=(const CSessionIndexRunner&) = delete;
    ~CSessionIndexRunner() { StopAll(); }

    // Queues the build of package strName's index (an older index file is replaced). False
    // when that package is queued or being built already, or after StopAll.
    bool Queue(const std::string& strName, const SessionIndexInputs& inputs,
               DoneCallback onDone = {});
    // Asks the package's build to stop, or takes it out of the queue; does not wait.
    void Stop(const std::string& strName);
    // Stops the build under way, empties the queue and waits for the thread; afterwards
    // nothing is queued any more. Safe to call more than once.
    void StopAll();
    // Waits until nothing is queued or being built.
    void WaitIdle();
    IndexTickerState State(const std::string& strName) const;

  private:
    enum class JobState { kQueued, kRunning, kFinished };
    struct Job {
        std::string strName;
        SessionIndexInputs inputs;
        DoneCallback onDone;
        SessionIndexControl control;
        JobState eState = JobState::kQueued;
        SessionIndexOutcome outcome;  // valid once kFinished
    };
    void Run();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;                      // a job was queued, or the runner stops
    std::condition_variable m_idle;                      // a job finished
    std::map<std::string, std::shared_ptr<Job>> m_jobs;  // the latest job of each package
    std::deque<std::shared_ptr<Job>> m_queue;
    bool m_bQuit = false;
    std::thread m_thread;  // started with the first job
};

}  // namespace session_index
