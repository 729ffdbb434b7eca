// One search at a time off the caller's thread, for the window's "Find in sessions": a new
// search stops the one under way, and stopping (or destroying the runner) ends the running
// search and waits for its thread. A search stops within a fraction of a second of the
// request (SearchSessions checks between lines and inside its statements), so these waits
// are short. All members are meant for one owning thread (the window's).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tavrin/find/session_search.h"

namespace session_index {

class CSessionSearchRunner {
  public:
    // Called on the search's thread with the search's number and its result, only when the
    // search was neither stopped nor replaced.
    using DoneCallback = std::function<void(std::uint64_t, SessionSearchResult)>;

    CSessionSearchRunner() = default;
    CSessionSearchRunner(const CSessionSearchRunner&) = delete;
    CSessionSearchRunner& operator=(const CSessionSearchRunner&) = delete;
    ~CSessionSearchRunner() { Stop(); }

    // Stops the running search, if any, then starts SearchSessions(workFolders, query,
    // options) on a thread of its own (options.pStop is the runner's own). Returns the new
    // search's number (from 1, growing).
    //
    // With onPage (and options.bCountAll), the first options.nMaxHits hits come first: a
    // search that stops at them, whose result (nTotal then counts only the hits found so far)
    // goes to onPage, as onDone's does, when it filled the page; the search counting every
    // hit follows, to onDone. Counting a common word reads most of the index, and the page
    // is there long before. A search with fewer hits than a page goes to onDone alone.
    std::uint64_t Start(std::vector<std::string> workFolders, std::string queryUtf8,
                        SessionSearchOptions options, DoneCallback onDone,
                        DoneCallback onPage = nullptr);
    // Stops the running search and waits for its thread; its callback is not called.
    void Stop();
    // The number of the last search started (0 before the first).
    std::uint64_t Current() const { return m_nGeneration; }

  private:
    std::unique_ptr<std::atomic<bool>> m_pStop;
    std::thread m_thread;
    std::uint64_t m_nGeneration = 0;
};

}  // namespace session_index
