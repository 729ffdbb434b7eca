#include "tavrin/find/session_index_runner.h"

#include "tavrin/find/find_strings.h"
#include "tavrin/find/session_search.h"

namespace session_index {

int IndexTickerStringId(const IndexTickerState& state) {
    switch (state.status) {
        case IndexStatus::kMissing:
            return 0;
        case IndexStatus::kBuilding:
            return state.bWaiting ? kStrIndexWaiting : kStrIndexBuilding;
        case IndexStatus::kBuilt:
            return kStrIndexBuilt;
        case IndexStatus::kStopped:
            return kStrIndexStopped;
        case IndexStatus::kFailed:
            return kStrIndexFailed;
    }
    return 0;
}

bool CSessionIndexRunner::Queue(const std::string& strName, const SessionIndexInputs& inputs,
                                DoneCallback onDone) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bQuit) return false;
    auto found = m_jobs.find(strName);
    if (found != m_jobs.end() && found->second->eState != JobState::kFinished) return false;
    auto job = std::make_shared<Job>();
    job->strName = strName;
    job->inputs = inputs;
    job->onDone = std::move(onDone);
    m_jobs[strName] = job;
    m_queue.push_back(job);
    if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
    m_wake.notify_one();
    return true;
}

void CSessionIndexRunner::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bQuit || !m_queue.empty(); });
        if (m_bQuit) return;
        std::shared_ptr<Job> job = m_queue.front();
        m_queue.pop_front();
        job->eState = JobState::kRunning;
        lock.unlock();
        SessionIndexOutcome outcome = BuildSessionIndex(job->inputs, job->control);
        if (job->onDone) job->onDone(job->strName, outcome);
        lock.lock();
        job->outcome = std::move(outcome);
        job->eState = JobState::kFinished;
        m_idle.notify_all();
    }
}

void CSessionIndexRunner::Stop(const std::string& strName) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_jobs.find(strName);
    if (found == m_jobs.end()) return;
    const std::shared_ptr<Job>& job = found->second;
    job->control.bStopRequested = true;
    if (job->eState == JobState::kQueued) {
        // Never started: nothing was written, the package has no index of this run.
        for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
            if (*it == job) {
                m_queue.erase(it);
                break;
            }
        }
        job->outcome.status = IndexStatus::kStopped;
        job->eState = JobState::kFinished;
        m_idle.notify_all();
    }
}

void CSessionIndexRunner::StopAll() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
        for (auto& [name, job] : m_jobs) {
            job->control.bStopRequested = true;
            if (job->eState == JobState::kQueued) {
                job->outcome.status = IndexStatus::kStopped;
                job->eState = JobState::kFinished;
            }
        }
        m_queue.clear();
        m_wake.notify_all();
    }
    if (m_thread.joinable()) m_thread.join();
    m_idle.notify_all();
}

void CSessionIndexRunner::WaitIdle() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_idle.wait(lock, [this] {
        for (const auto& [name, job] : m_jobs) {
            if (job->eState != JobState::kFinished) return false;
        }
        return true;
    });
}

IndexTickerState CSessionIndexRunner::State(const std::string& strName) const {
    IndexTickerState state;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_jobs.find(strName);
    if (found == m_jobs.end()) return state;
    const Job& job = *found->second;
    switch (job.eState) {
        case JobState::kQueued:
            state.status = IndexStatus::kBuilding;
            state.bWaiting = true;
            break;
        case JobState::kRunning:
            state.status = IndexStatus::kBuilding;
            state.nPercent = PercentDone(job.control.nDone.load(), job.control.nTotal.load());
            break;
        case JobState::kFinished:
            state.status = job.outcome.status;
            state.nPercent = state.status == IndexStatus::kBuilt
                                 ? 100
                                 : PercentDone(job.control.nDone.load(), job.control.nTotal.load());
            state.strError = job.outcome.strError;
            break;
    }
    return state;
}

}  // namespace session_index
