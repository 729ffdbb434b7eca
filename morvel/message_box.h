// The viewer's one kind of message: an OK box with a language-module text, owned by a window,
// with the application's title as caption. Behind a replaceable handler so that tests record
// the message instead of blocking on a modal box. User-interface thread only.
#pragma once

#include <QString>
#include <functional>

class QWidget;

using MorvelMessageHandler = std::function<void(QWidget* owner, const QString& text)>;

// Shows text in an OK box owned by owner (through the handler when one is set).
void ShowMorvelMessage(QWidget* owner, const QString& text);

// Replaces the way messages are shown; an empty handler restores the real message box.
void SetMorvelMessageHandler(MorvelMessageHandler handler);
