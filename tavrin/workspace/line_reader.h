// Splits a file into lines as bytes, in large reads, holding at most one line (however long)
// plus one read's worth of bytes. A line ends at a line feed; a carriage return just before
// it belongs to the line end (CR LF and LF both end a line; a lone CR is content).
//
// One thread uses a reader at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/file_io.h"

namespace workspace {

class CLineReader {
  public:
    struct Line {
        char* pData = nullptr;  // the line's bytes without its line end; pData[nSize] is
                                // writable and holds '\0' (valid until the next call)
        std::size_t nSize = 0;
        bool bHasLineEnd = false;  // false only for a last line the file ends without a LF
    };

    // Reads from file, which must stay open while the reader is used. readSize is the number
    // of bytes asked for in one read.
    explicit CLineReader(platform::CFileReader& file, std::size_t readSize = 1 << 20);

    // The next line. False at the end of the file or on a read error (Failed() tells which).
    bool Next(Line& line);
    bool Failed() const { return m_bFailed; }
    // Bytes read from the file so far (ahead of the lines returned by up to one read).
    std::uint64_t BytesRead() const { return m_nBytesRead; }

  private:
    bool Fill();

    platform::CFileReader& m_file;
    std::unique_ptr<char[]> m_pBuffer;
    std::size_t m_nCapacity;  // usable bytes; the buffer has one more for the terminator
    std::size_t m_nReadSize;
    std::size_t m_nBegin = 0;  // first byte not yet returned
    std::size_t m_nScan = 0;   // bytes before this hold no line feed (from m_nBegin on)
    std::size_t m_nEnd = 0;    // end of the bytes read
    std::uint64_t m_nBytesRead = 0;
    bool m_bEof = false;
    bool m_bFailed = false;
};

}  // namespace workspace
