#include "tavrin/shell/line_input.h"

#include <cstring>

#include "platform/paths.h"
#include "tavrin/shell/byte_scan.h"

namespace shell {

std::FILE* openInputFile(const char* path) {
    std::FILE* in = platform::IsDirectory(path) ? nullptr : std::fopen(path, "rb");
    if (!in) std::fprintf(stderr, "Error: cannot open \"%s\"\n", path);
    return in;
}

std::optional<std::string> readLine(std::FILE* stream, bool quoteAware) {
    std::string line;
    bool inQuote = false;
    for (;;) {
        int c = std::getc(stream);
        if (c == EOF) {
            if (line.empty()) return std::nullopt;
            return line;
        }
        if (c == '\n' && (!inQuote || !quoteAware)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        if (c == '"') inQuote = !inQuote;
        line.push_back(static_cast<char>(c));
    }
}

CLineReader::CLineReader(std::FILE* stream, std::size_t blockSize)
    : m_pStream(stream), m_nBlockSize(blockSize < 16 ? 16 : blockSize) {}

bool CLineReader::fill() {
    if (m_bEof) return false;
    // Keep the unread bytes at the front; grow when the pending line fills the buffer.
    if (m_nBegin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_nBegin, m_nEnd - m_nBegin);
        m_nEnd -= m_nBegin;
        m_nBegin = 0;
    }
    if (m_buffer.size() < m_nEnd + m_nBlockSize + 1) {
        try {
            m_buffer.resize(m_nEnd + m_nBlockSize + 1);
        } catch (const std::bad_alloc&) {
            m_bEof = true;
            return false;
        }
    }
    std::size_t n = std::fread(m_buffer.data() + m_nEnd, 1, m_nBlockSize, m_pStream);
    if (n == 0) {
        m_bEof = true;
        return false;
    }
    m_nEnd += n;
    return true;
}

bool CLineReader::next() {
    std::size_t scan = m_nBegin;  // first byte not yet examined for this line
    std::size_t quotes = 0;
    for (;;) {
        char* data = m_buffer.data();
        char* end = data + m_nEnd;
        char* p = data + scan;
        while (p < end) {
            char* lf = static_cast<char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            char* stop = lf ? lf : end;
            // A comma dump quotes every text field: one counting pass, not a call per quote.
            quotes += byte_scan::Count(p, static_cast<size_t>(stop - p), '"');
            if (!lf) {
                p = end;
                break;
            }
            if (quotes % 2 == 0) {
                char* start = data + m_nBegin;
                char* last = lf;
                if (last > start && last[-1] == '\r') --last;
                *last = '\0';
                m_pLine = start;
                m_nLength = static_cast<size_t>(last - start);
                m_nQuotes = quotes;
                m_nBegin = static_cast<size_t>(lf + 1 - data);
                return true;
            }
            p = lf + 1;  // the line feed stands inside quotes and belongs to the line
        }
        std::size_t offset = static_cast<size_t>(p - data) - m_nBegin;
        if (!fill()) {
            if (m_nEnd == m_nBegin) return false;
            // The last line has no line feed: hand it out as it is.
            if (m_buffer.size() < m_nEnd + 1) m_buffer.resize(m_nEnd + 1);
            data = m_buffer.data();
            data[m_nEnd] = '\0';
            m_pLine = data + m_nBegin;
            m_nLength = m_nEnd - m_nBegin;
            m_nQuotes = quotes;
            m_nBegin = m_nEnd;
            return true;
        }
        scan = m_nBegin + offset;
    }
}

}  // namespace shell
