#include "tavrin/dialog_events.h"

QEvent::Type CLoadFinishedEvent::TypeId() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type CTickEvent::TypeId() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}
