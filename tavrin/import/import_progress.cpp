#include "tavrin/import/import_progress.h"

namespace package_import {

void CImportProgress::BeginStep(ImportStep eStep, const std::string& strFile,
                                std::uint64_t nTotal) {
    const std::size_t slash = strFile.find_last_of('/');
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.eStep = eStep;
    m_state.strFile = slash == std::string::npos ? strFile : strFile.substr(slash + 1);
    m_state.nDone = 0;
    m_state.nTotal = nTotal;
}

void CImportProgress::SetDone(std::uint64_t nDone) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.nDone = m_state.nTotal && nDone > m_state.nTotal ? m_state.nTotal : nDone;
}

SImportProgress CImportProgress::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

}  // namespace package_import
