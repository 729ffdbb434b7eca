// The two notifications that reach the main dialog from other threads. They replace the
// posted window messages "load finished" and "tick": any thread may post them with
// PostDialogEvent(dialog, new ...); the dialog handles them on the user-interface thread. The
// poster must make sure the dialog outlives the post (the dialog joins the ticker and the loaders
// before it is destroyed); events still queued then are discarded by Qt.
#pragma once

#include <QEvent>
#include <QString>

#include <functional>

namespace ui {

// Posts e to receiver from any thread (Qt takes ownership of e). Qt's own queue locking is
// invisible to ThreadSanitizer, since the system's Qt is not instrumented; posting under a
// hand-over lock that the receiver takes too makes the hand-over of the event's contents
// explicit. Thread-safe.
void PostDialogEvent(QObject* receiver, QEvent* e);
// Called on the receiving thread before it reads what another thread posted to it.
void AcceptDialogEvent();
// Queues fn to run on receiver's thread, handed over like PostDialogEvent. Thread-safe.
void PostDialogCall(QObject* receiver, std::function<void()> fn);

// Posted by a background loader when its SQL file has been executed. Carries the name of the
// package whose load ended (copied, so the loader's parameter block may go away).
class CLoadFinishedEvent : public QEvent {
  public:
    explicit CLoadFinishedEvent(QString strName)
        : QEvent(TypeId()), m_strName(std::move(strName)) {}
    const QString& Name() const { return m_strName; }
    // The registered event type, the same for the whole process.
    static QEvent::Type TypeId();

  private:
    QString m_strName;
};

// Posted by the ticker thread once a second.
class CTickEvent : public QEvent {
  public:
    CTickEvent() : QEvent(TypeId()) {}
    static QEvent::Type TypeId();
};

}  // namespace ui
