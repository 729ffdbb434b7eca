#include "common/qt/termination_notifier.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTimer>

#ifdef Q_OS_WIN
#include <QAbstractNativeEventFilter>
#endif

#include "platform/termination_signals.h"

namespace common {

#ifdef Q_OS_WIN
namespace {

// The end of the session: the system ends the process as soon as WM_ENDSESSION has been
// answered, so the close handling runs inside the message, in a nested event loop, until the
// program has restored the default signal handling (its sign of being done) or about four
// seconds have passed (the system allows about five).
class CSessionEndFilter : public QAbstractNativeEventFilter {
  public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override {
        if (eventType != "windows_generic_MSG") return false;
        long long answer = 0;
        const platform::ESessionEnd kind = platform::ReadSessionEndMessage(message, &answer);
        if (kind == platform::ESessionEnd::kNone) return false;
        if (kind == platform::ESessionEnd::kEnds && !m_bRunning) {
            m_bRunning = true;
            const QDeadlineTimer deadline(4000);
            while (platform::TerminationRequested() && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            m_bRunning = false;
        }
        *result = static_cast<qintptr>(answer);
        return true;
    }

  private:
    bool m_bRunning = false;  // every top-level window gets the message: run once
};

}  // namespace

// Windows cannot watch a pipe with a socket notifier: the pipe is polled, and the filter
// reads the session's end.
struct CTerminationNotifier::SSystemWatch {
    QTimer poll;
    CSessionEndFilter filter;
};

CTerminationNotifier::CTerminationNotifier(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {
    if (platform::InstallTerminationSignalPipe() < 0) return;
    m_bActive = true;
    m_pWatch = std::make_unique<SSystemWatch>();
    connect(&m_pWatch->poll, &QTimer::timeout, this, [this] { TakeSignal(); });
    m_pWatch->poll.start(50);
    QCoreApplication::instance()->installNativeEventFilter(&m_pWatch->filter);
}

CTerminationNotifier::~CTerminationNotifier() {
    if (m_pWatch) QCoreApplication::instance()->removeNativeEventFilter(&m_pWatch->filter);
}

#else

struct CTerminationNotifier::SSystemWatch {
    explicit SSystemWatch(int fd) : notifier(fd, QSocketNotifier::Read) {}
    QSocketNotifier notifier;
};

CTerminationNotifier::CTerminationNotifier(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {
    const int fd = platform::InstallTerminationSignalPipe();
    if (fd < 0) return;
    m_bActive = true;
    m_pWatch = std::make_unique<SSystemWatch>(fd);
    connect(&m_pWatch->notifier, &QSocketNotifier::activated, this, [this] { TakeSignal(); });
}

CTerminationNotifier::~CTerminationNotifier() = default;

#endif

void CTerminationNotifier::TakeSignal() {
    const int signal = platform::TakeTerminationSignal();
    if (signal != 0 && m_handler) m_handler(signal);
}

}  // namespace common
