// Reading input line by line, for scripts and for delimited data files.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace shell {

// Opens the file at path for reading as bytes, for .read, .import and the front end. A folder
// is refused (it would open here and only fail at its first read). On failure writes
// "Error: cannot open \"%s\"\n" to standard error and returns null. The caller closes the
// stream, and should check std::ferror after reading: a read error looks like the end of input.
std::FILE* openInputFile(const char* path);

// Reads one line of bytes from stream. The line feed that ends it and one carriage return
// directly before that line feed are removed; a last line without a line feed comes back as
// it is (a carriage return at the very end of the input stays). An empty line is an empty
// text. When quoteAware is set, a line feed that stands inside an open double-quoted stretch
// (an odd number of '"' so far, counted wherever they stand) is kept and the line goes on.
// Returns nothing at end of input (or when memory for the line cannot be had). Reads no byte
// past the line's end, so other readers of the same stream can continue after it.
std::optional<std::string> readLine(std::FILE* stream, bool quoteAware);

// A fast quote-aware line reader over a stream for bulk loading: the same lines as
// readLine(stream, true), read in large blocks, handed out in place without an allocation per
// line. The reader owns its buffer, not the stream. One thread at a time.
class CLineReader {
  public:
    explicit CLineReader(std::FILE* stream, std::size_t blockSize = 1 << 20);

    // Advances to the next line. Returns false at end of input or when the buffer cannot grow.
    // On true, line() points at the line's bytes, followed by a terminating zero; the bytes may
    // be modified in place and stay valid until the next call.
    bool next();

    char* line() { return m_pLine; }
    std::size_t length() const { return m_nLength; }
    // Number of '"' bytes in the current line (0 means no quoting and no line feed in it).
    std::size_t quoteCount() const { return m_nQuotes; }

  private:
    bool fill();  // reads more input after the kept bytes; false at end of input

    std::FILE* m_pStream;
    std::size_t m_nBlockSize;
    std::vector<char> m_buffer;
    std::size_t m_nBegin = 0;  // start of the unread bytes (the line being assembled)
    std::size_t m_nEnd = 0;    // end of the bytes in the buffer
    bool m_bEof = false;
    char* m_pLine = nullptr;
    std::size_t m_nLength = 0;
    std::size_t m_nQuotes = 0;
};

}  // namespace shell
