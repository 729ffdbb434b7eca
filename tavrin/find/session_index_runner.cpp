#include "tavrin/find/session_index_runner.h"

#include "tavrin/find/session_search.h"

bool CSessionIndexRunner::Start(const SessionIndexInputs& inputs,
                                std::function<void(const SessionIndexOutcome&)> onDone) {
    if (IsRunning()) return false;
    if (m_thread.joinable()) m_thread.join();
    m_pShared = std::make_shared<Shared>();
    std::shared_ptr<Shared> shared = m_pShared;
    m_thread = std::thread([shared, inputs, onDone = std::move(onDone)] {
        SessionIndexOutcome outcome = BuildSessionIndex(inputs, shared->control);
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->outcome = outcome;
            shared->bFinished = true;
        }
        if (onDone) onDone(outcome);
    });
    return true;
}

void CSessionIndexRunner::Stop() {
    if (m_pShared) m_pShared->control.bStopRequested = true;
    if (m_thread.joinable()) m_thread.join();
}

void CSessionIndexRunner::Join() {
    if (m_thread.joinable()) m_thread.join();
}

bool CSessionIndexRunner::IsRunning() const {
    if (!m_pShared || !m_thread.joinable()) return false;
    std::lock_guard<std::mutex> lock(m_pShared->mutex);
    return !m_pShared->bFinished;
}

IndexTickerState CSessionIndexRunner::State() const {
    IndexTickerState state;
    if (!m_pShared) return state;
    std::lock_guard<std::mutex> lock(m_pShared->mutex);
    if (!m_pShared->bFinished) {
        state.status = IndexStatus::kBuilding;
        state.nPercent =
            PercentDone(m_pShared->control.nDone.load(), m_pShared->control.nTotal.load());
        return state;
    }
    state.status = m_pShared->outcome.status;
    state.nPercent =
        state.status == IndexStatus::kBuilt
            ? 100
            : PercentDone(m_pShared->control.nDone.load(), m_pShared->control.nTotal.load());
    state.strError = m_pShared->outcome.strError;
    return state;
}
