// Brings the termination requests of platform/termination_signals.h to the user-interface
// thread of a Qt program: SIGTERM, SIGINT and SIGHUP on POSIX systems; on Windows the console's
// control events and the end of the user's session (WM_QUERYENDSESSION / WM_ENDSESSION, read
// by a native event filter). The handler runs on the thread that made the notifier, from its
// event loop, and may do anything there (close the window, run the close handling).
//
// One notifier per program; create it on the user-interface thread after the application
// object. It installs the platform's signal pipe (see InstallTerminationSignalPipe).
#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace common {

class CTerminationNotifier : public QObject {
  public:
    // handler gets the signal number (SigTerm() for the end of a Windows session).
    using Handler = std::function<void(int signal)>;

    explicit CTerminationNotifier(Handler handler, QObject* parent = nullptr);
    ~CTerminationNotifier() override;

    // False when the signal pipe could not be set up: no request will be reported.
    bool IsActive() const { return m_bActive; }

  private:
    void TakeSignal();

    Handler m_handler;
    bool m_bActive = false;
    struct SSystemWatch;
    std::unique_ptr<SSystemWatch> m_pWatch;
};

}  // namespace common
