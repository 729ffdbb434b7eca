#include "tavrin/import/archiver_progress.h"

namespace package_import {

namespace {

// An archiver that never ends a text would otherwise grow the pending bytes without bound.
constexpr std::size_t kLongestText = 64 * 1024;

}  // namespace

int ArchiverPercent(const std::string& text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return -1;
    int value = 0;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4; ++i, ++digits)
        value = value * 10 + (text[i] - '0');
    if (digits == 0 || digits > 3 || i >= text.size() || text[i] != '%' || value > 100) return -1;
    return value;
}

void CArchiverOutput::TakeProgressText() {
    const int percent = ArchiverPercent(m_strPending);
    if (percent > m_nPercent) m_nPercent = percent;
    m_strPending.clear();
}

void CArchiverOutput::Feed(const char* data, std::size_t size, std::string* pConsole) {
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\b') {
            // What stood before a backspace is being erased: a progress text, or the blanks
            // that wipe one out.
            if (!m_strPending.empty()) TakeProgressText();
        } else if (c == '\n') {
            if (pConsole) pConsole->append(m_strPending).push_back('\n');
            m_strPending.clear();
        } else {
            m_strPending.push_back(c);
            if (m_strPending.size() >= kLongestText) Finish(pConsole);
        }
    }
}

void CArchiverOutput::Finish(std::string* pConsole) {
    if (pConsole) pConsole->append(m_strPending);
    m_strPending.clear();
}

}  // namespace package_import
