// The marker that lets only one copy of a program run per user: an exclusive lock on a lock
// file in the user's runtime folder. The kernel drops the lock when the holder ends, however
// it ends (a crashed copy leaves no stale marker behind), and the lock is never handed to
// child processes.
#pragma once

#include <string>

namespace platform {

// Folder for the user's runtime files: $XDG_RUNTIME_DIR when it names a directory, else a
// folder "tavrin-<uid>" in the temporary folder ($TMPDIR or /tmp), created with mode 0700 if
// missing and used only when it belongs to the user. Empty when neither is usable.
std::string UserRuntimeFolder();

class CInstanceLock {
  public:
    enum class State {
        kAcquired,       // this process holds the lock: it is the first copy
        kHeldElsewhere,  // another process holds it: a copy is already running
        kUnavailable,    // the lock file could not be opened (no usable folder, no rights)
    };

    // Tries, without waiting, to take the lock on the file "<name>.lock" in folder (created
    // with mode 0600 if missing; a symbolic link there is not followed). The lock is held
    // until the object is destroyed or the process ends.
    CInstanceLock(const std::string& folder, const std::string& name);
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    State GetState() const { return m_state; }
    // Path of the lock file (also when it could not be opened).
    const std::string& Path() const { return m_strPath; }

  private:
    int m_nFd = -1;
    State m_state = State::kUnavailable;
    std::string m_strPath;
};

}  // namespace platform
