#include "tavrin/ui/dialog_events.h"

#include <QCoreApplication>

#include <mutex>

namespace ui {

namespace {
std::mutex g_handOver;
}  // namespace

void PostDialogEvent(QObject* receiver, QEvent* e) {
    std::lock_guard<std::mutex> lock(g_handOver);
    QCoreApplication::postEvent(receiver, e);
}

void AcceptDialogEvent() {
    std::lock_guard<std::mutex> lock(g_handOver);
}

void PostDialogCall(QObject* receiver, std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(g_handOver);
    QMetaObject::invokeMethod(
        receiver,
        [fn = std::move(fn)] {
            AcceptDialogEvent();
            fn();
        },
        Qt::QueuedConnection);
}

QEvent::Type CLoadFinishedEvent::TypeId() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type CTickEvent::TypeId() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

}  // namespace ui
