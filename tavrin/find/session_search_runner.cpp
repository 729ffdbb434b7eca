#include "tavrin/find/session_search_runner.h"

#include <utility>

namespace session_index {

std::uint64_t CSessionSearchRunner::Start(std::vector<std::string> workFolders,
                                          std::string queryUtf8, SessionSearchOptions options,
                                          DoneCallback onDone, DoneCallback onPage) {
    Stop();
    const std::uint64_t generation = ++m_nGeneration;
    m_pStop = std::make_unique<std::atomic<bool>>(false);
    options.pStop = m_pStop.get();
    // The flag lives until the thread is joined (Stop), so the thread may read it to the end.
    m_thread =
        std::thread([generation, folders = std::move(workFolders), query = std::move(queryUtf8),
                     options, done = std::move(onDone), page = std::move(onPage)]() mutable {
            if (page && options.bCountAll) {
                SessionSearchOptions first = options;
                first.bCountAll = false;
                SessionSearchResult result = SearchSessions(folders, query, first);
                if (options.pStop->load()) return;
                // Fewer hits than a page: that search went to the end and counted them all.
                if (result.hits.size() < options.nMaxHits) {
                    if (done) done(generation, std::move(result));
                    return;
                }
                page(generation, std::move(result));
            }
            SessionSearchResult result = SearchSessions(folders, query, options);
            if (!options.pStop->load() && done) done(generation, std::move(result));
        });
    return generation;
}

void CSessionSearchRunner::Stop() {
    if (m_pStop) m_pStop->store(true);
    if (m_thread.joinable()) m_thread.join();
    m_pStop.reset();
}

}  // namespace session_index
