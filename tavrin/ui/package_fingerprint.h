// The fingerprint of a package file: its SHA-256, so that an auditor can record which exact
// package was reviewed. Plain code (Qt Core's hash), no window.
#pragma once

#include <atomic>
#include <future>
#include <string>

namespace ui {

// Lower-case hexadecimal SHA-256 of the file's bytes, read in large steps; path is taken as
// its bytes. Empty text when the file is not a regular file or cannot be read to its end, or
// when *stop becomes true meanwhile (stop may be null). Any thread.
std::string Sha256OfFile(const std::string& path, const std::atomic<bool>* stop = nullptr);

// The line the console gets for a fingerprint, in the form sha256sum writes and checks:
// the hash, two blanks, the path, a line end. A path holding a backslash, line feed or
// carriage return is written escaped as GNU sha256sum does: the line begins with a backslash
// and those bytes become \\, \n and \r.
std::string FingerprintLine(const std::string& sha256, const std::string& path);

// Hashes a file on a thread of its own while the caller goes on (the import unpacks the
// same file meanwhile). Get() waits for the hash; the destructor stops an unfinished hash
// and waits for the thread. One owner thread uses the object.
class CFingerprintTask {
  public:
    explicit CFingerprintTask(std::string path);
    ~CFingerprintTask();
    CFingerprintTask(const CFingerprintTask&) = delete;
    CFingerprintTask& operator=(const CFingerprintTask&) = delete;

    // The hash (as Sha256OfFile); waits for it. Call once.
    std::string Get();

  private:
    std::atomic<bool> m_bStop{false};
    std::future<std::string> m_result;
};

}  // namespace ui
