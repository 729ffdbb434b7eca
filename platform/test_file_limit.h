// Test support for trees deeper than the descriptors a process may open: a lowered open-file
// limit and folders nested deeper than any path may be long.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace platform::test {

// Lowers the soft limit on open files of this process for the life of the object (what a
// user's shell may set), then restores it. Children started meanwhile inherit it.

class CLowFileLimit {
  public:
    explicit CLowFileLimit(rlim_t nFiles) {
        m_bSaved = getrlimit(RLIMIT_NOFILE, &m_saved) == 0;
        if (!m_bSaved) return;
        struct rlimit lowered = m_saved;
        lowered.rlim_cur = nFiles < m_saved.rlim_max ? nFiles : m_saved.rlim_max;
        m_bLowered = setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~CLowFileLimit() {
        if (m_bSaved) setrlimit(RLIMIT_NOFILE, &m_saved);
    }
    CLowFileLimit(const CLowFileLimit&) = delete;
    CLowFileLimit& operator=(const CLowFileLimit&) = delete;
    bool Lowered() const { return m_bLowered; }

  private:
    struct rlimit m_saved {};
    bool m_bSaved = false;
    bool m_bLowered = false;
};

// Makes levels nested folders named name below folder, descriptor by descriptor (so the whole
// path may be longer than the system's limit) and calls atLevel(fd, level) in each, the folder
// open as fd. True when every level was made.
template <typename AtLevel>
bool MakeNestedFolders(const std::string& folder, const char* name, int levels, AtLevel atLevel) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 1; level <= levels && fd >= 0; ++level) {
        int next = mkdirat(fd, name, 0700) == 0
                       ? openat(fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                       : -1;
        close(fd);
        fd = next;
        if (fd >= 0) atLevel(fd, level);
    }
    if (fd < 0) return false;
    close(fd);
    return true;
}

}  // namespace platform::test
