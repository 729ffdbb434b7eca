#include "morvel/line_reader.h"

#include "common/scan_name.h"
#include "platform/bounded_read.h"

namespace morvel {

void CLineSplitter::Feed(std::string_view piece) {
    size_t start = 0;
    while (start < piece.size()) {
        size_t lf = piece.find('\n', start);
        if (lf == std::string_view::npos) {
            m_strPending.append(piece.substr(start));
            m_bPending = true;
            return;
        }
        m_strPending.append(piece.substr(start, lf - start));
        // The carriage return may have arrived at the end of the previous piece.
        if (!m_strPending.empty() && m_strPending.back() == '\r') m_strPending.pop_back();
        m_lines.push_back(std::move(m_strPending));
        m_strPending.clear();
        m_bPending = false;
        start = lf + 1;
    }
}

void CLineSplitter::Finish() {
    if (m_bPending) m_lines.push_back(std::move(m_strPending));
    m_strPending.clear();
    m_bPending = false;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    CLineSplitter splitter(lines);
    splitter.Feed(text);
    splitter.Finish();
    return lines;
}

ScanFileRead ReadScanFile(const std::string& packageFolder, const std::string& relativePath,
                          std::vector<std::string>& out) {
    if (!common::ScanNameStaysBeneath(relativePath)) return ScanFileRead::kSkipped;
    platform::CBoundedFile file;
    if (!file.OpenBeneath(packageFolder, relativePath)) return ScanFileRead::kSkipped;
    // Lines go to a buffer first so that a file failing part-way adds nothing.
    std::vector<std::string> lines;
    CLineSplitter splitter(lines);
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        long long n = file.Read(buffer.data(), buffer.size());
        if (n < 0) return ScanFileRead::kSkipped;
        if (n == 0) break;
        splitter.Feed(std::string_view(buffer.data(), static_cast<size_t>(n)));
    }
    splitter.Finish();
    out.reserve(out.size() + lines.size());
    for (std::string& line : lines) out.push_back(std::move(line));
    return ScanFileRead::kRead;
}

}  // namespace morvel
