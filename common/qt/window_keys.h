// The keys of a window, handled in one place: both programs give each dialog one handler that
// sees every key press aimed at the window, wherever the focus is in it, before the focused
// widget does. User-interface thread only.
#pragma once

#include <functional>

#include <QKeyCombination>
#include <QObject>

class QKeyEvent;
class QWidget;

namespace common {

class CWindowKeys : public QObject {
  public:
    // Gets a key press and the widget it is aimed at (a widget of the window, or the window
    // itself); returns true when it took the key, which then reaches no widget.
    using Handler = std::function<bool(QWidget* target, const QKeyEvent& key)>;

    // Watches every key press of window (a child of window; gone with it). Key presses in other
    // windows, message boxes over this one included, pass untouched.
    CWindowKeys(QWidget& window, Handler handler);
    ~CWindowKeys() override;

    // Ends the watch before the window starts to take itself apart (its destructor's first
    // step), so the handler never sees a half-destroyed window. Safe to call twice.
    void Detach();

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    QWidget& m_window;
    Handler m_handler;
};

// True when key is exactly the combination keys, as a shortcut would match it: the same key and
// modifiers; the keypad's copy of a key counts as the key.
bool IsKey(const QKeyEvent& key, QKeyCombination keys);

}  // namespace common
