// Byte-exact file reading and writing in large unbuffered steps: the building block of the
// dump conversions and loaders, which must handle files of any size at the speed of the disk
// cache. No text-mode translation and no locale: bytes pass unchanged.
//
// Both classes are move-only owners of one open file; one thread uses an object at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Reads a regular file. Open refuses anything else (a folder, FIFO or device never blocks a
// reader and is never read without end).
class CFileReader {
  public:
    CFileReader() = default;
    CFileReader(const CFileReader&) = delete;
    CFileReader& operator=(const CFileReader&) = delete;
    CFileReader(CFileReader&& other) noexcept;
    CFileReader& operator=(CFileReader&& other) noexcept;
    ~CFileReader();

    // Opens path for reading. False on failure, with ErrorCode() telling why (the errno value;
    // EINVAL when path names something other than a regular file).
    bool Open(const std::string& path);
    bool IsOpen() const { return m_nFd >= 0; }

    // Reads up to size bytes into buffer. Returns the count read (fewer than size only at the
    // end of the file), 0 at the end, -1 on an error (ErrorCode() tells which).
    std::int64_t Read(char* buffer, std::size_t size);

    void Close();
    int ErrorCode() const { return m_nError; }

  private:
    int m_nFd = -1;
    int m_nError = 0;
};

// Creates (or empties) a file and writes it through a buffer of its own, so small appends are
// cheap and the system sees few large writes. Create never follows a symbolic link in the
// last component (a link planted where an output goes is an error, not a way out).
class CFileWriter {
  public:
    explicit CFileWriter(std::size_t bufferSize = 1 << 20);
    CFileWriter(const CFileWriter&) = delete;
    CFileWriter& operator=(const CFileWriter&) = delete;
    ~CFileWriter();  // closes without reporting; call Close() to learn of a failed write

    // Creates path, or truncates it when it exists, with permission bits mode (before umask).
    // False on failure with ErrorCode() set.
    bool Create(const std::string& path, unsigned mode = 0644);
    bool IsOpen() const { return m_nFd >= 0; }

    // Appends size bytes. False once any write has failed (ErrorCode() tells why); later
    // writes are then ignored.
    bool Write(const char* data, std::size_t size) {
        if (size <= m_nCapacity - m_nUsed && m_nFd >= 0 && m_nError == 0) {
            __builtin_memcpy(m_pBuffer + m_nUsed, data, size);
            m_nUsed += size;
            return true;
        }
        return WriteSlow(data, size);
    }
    bool Write(std::string_view text) { return Write(text.data(), text.size()); }

    // Writes out the buffer. False when this or an earlier write failed.
    bool Flush();
    // Flushes and closes. False when any write or the close failed. Safe to call twice.
    bool Close();
    int ErrorCode() const { return m_nError; }

  private:
    bool WriteThrough(const char* data, std::size_t size);
    bool WriteSlow(const char* data, std::size_t size);

    int m_nFd = -1;
    int m_nError = 0;
    char* m_pBuffer = nullptr;
    std::size_t m_nCapacity = 0;
    std::size_t m_nUsed = 0;
};

// True when both paths name the same existing file (same device and inode, links followed).
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace platform
