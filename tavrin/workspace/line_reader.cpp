#include "tavrin/workspace/line_reader.h"

#include <cstring>

namespace workspace {

CLineReader::CLineReader(platform::CFileReader& file, std::size_t readSize)
    : m_file(file), m_nCapacity(readSize ? readSize : 1), m_nReadSize(m_nCapacity) {
    m_pBuffer.reset(new char[m_nCapacity + 1]);
}

bool CLineReader::Fill() {
    // Keep the unfinished line at the front, and grow only when it fills the whole buffer.
    if (m_nBegin > 0) {
        std::memmove(m_pBuffer.get(), m_pBuffer.get() + m_nBegin, m_nEnd - m_nBegin);
        m_nScan -= m_nBegin;
        m_nEnd -= m_nBegin;
        m_nBegin = 0;
    }
    std::size_t room = m_nCapacity - m_nEnd;
    if (room == 0 || room < m_nReadSize / 2) {
        std::size_t capacity = m_nCapacity * 2;
        std::unique_ptr<char[]> bigger(new char[capacity + 1]);
        std::memcpy(bigger.get(), m_pBuffer.get(), m_nEnd);
        m_pBuffer = std::move(bigger);
        m_nCapacity = capacity;
    }
    std::int64_t n = m_file.Read(m_pBuffer.get() + m_nEnd, m_nCapacity - m_nEnd);
    if (n < 0) {
        m_bFailed = true;
        m_bEof = true;
        return false;
    }
    if (n == 0) m_bEof = true;
    m_nEnd += static_cast<std::size_t>(n);
    m_nBytesRead += static_cast<std::uint64_t>(n);
    return n > 0;
}

bool CLineReader::Next(Line& line) {
    for (;;) {
        char* base = m_pBuffer.get();
        if (m_nScan < m_nEnd) {
            void* lf = std::memchr(base + m_nScan, '\n', m_nEnd - m_nScan);
            if (lf) {
                std::size_t pos = static_cast<char*>(lf) - base;
                std::size_t size = pos - m_nBegin;
                if (size > 0 && base[pos - 1] == '\r') --size;
                line.pData = base + m_nBegin;
                line.nSize = size;
                line.bHasLineEnd = true;
                line.pData[size] = '\0';
                m_nBegin = m_nScan = pos + 1;
                return true;
            }
            m_nScan = m_nEnd;
        }
        if (m_bEof) {
            if (m_nBegin == m_nEnd) return false;
            line.pData = base + m_nBegin;
            line.nSize = m_nEnd - m_nBegin;
            line.bHasLineEnd = false;
            line.pData[line.nSize] = '\0';  // the buffer's spare byte
            m_nBegin = m_nScan = m_nEnd;
            return true;
        }
        Fill();
    }
}

}  // namespace workspace
