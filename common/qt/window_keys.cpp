#include "common/qt/window_keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace common {

CWindowKeys::CWindowKeys(QWidget& window, Handler handler)
    : QObject(&window), m_window(window), m_handler(std::move(handler)) {
    // Application-wide, so the key is seen before the focused widget takes it, as a shortcut is.
    qApp->installEventFilter(this);
}

CWindowKeys::~CWindowKeys() {
    Detach();
}

void CWindowKeys::Detach() {
    if (!m_handler) return;
    qApp->removeEventFilter(this);
    m_handler = nullptr;
}

bool CWindowKeys::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::KeyPress || !m_handler || !watched->isWidgetType()) return false;
    QWidget* target = static_cast<QWidget*>(watched);
    if (target->window() != &m_window) return false;
    return m_handler(target, *static_cast<QKeyEvent*>(e));
}

bool IsKey(const QKeyEvent& key, QKeyCombination keys) {
    return QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key())) == keys;
}

}  // namespace common
