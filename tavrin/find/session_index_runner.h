// Builds a package's text index on a thread of its own, after the package's loads. The main
// dialog keeps one runner per package, starts it when the package's background load has
// finished, reads its state for the ticker, and stops it when the package is switched away
// from, at close and on SIGTERM (Stop returns within about a second: the build checks the
// request between lines and rows, and its package statements through a progress handler).
//
// The build uses one thread and so at most one core. The package can be browsed meanwhile:
// the build reads Parent.db and child.db with read-only connections of its own.
//
// All members: one controlling thread (normally the user-interface thread), except State,
// which any thread may call.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "tavrin/find/session_index.h"

// What the ticker shows for a package's index.
struct IndexTickerState {
    IndexStatus status = IndexStatus::kMissing;  // kBuilding while running
    int nPercent = 0;                            // how far, 0 to 100
    std::string strError;                        // after kFailed
};

class CSessionIndexRunner {
  public:
    CSessionIndexRunner() = default;
    CSessionIndexRunner(const CSessionIndexRunner&) = delete;
    CSessionIndexRunner& operator=(const CSessionIndexRunner&) = delete;
    ~CSessionIndexRunner() { Stop(); }

    // Starts building the index of inputs (an older index file is replaced). onDone, when
    // given, is called once on the build thread with the outcome when the build ends (also
    // after a stop); the dialog posts its ticker event from there. False when a build of this
    // runner is still running.
    bool Start(const SessionIndexInputs& inputs,
               std::function<void(const SessionIndexOutcome&)> onDone = {});
    // Asks a running build to stop and waits for its thread. Safe to call at any time, also
    // when nothing runs.
    void Stop();
    // Waits for the build to end on its own.
    void Join();
    bool IsRunning() const;
    IndexTickerState State() const;

  private:
    struct Shared {
        SessionIndexControl control;
        mutable std::mutex mutex;
        bool bFinished = false;
        SessionIndexOutcome outcome;  // valid once bFinished
    };
    std::shared_ptr<Shared> m_pShared;
    std::thread m_thread;
};
