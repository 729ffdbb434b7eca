#include "morvel/message_box.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {
MorvelMessageHandler& Handler() {
    static MorvelMessageHandler handler;
    return handler;
}
}  // namespace

void ShowMorvelMessage(QWidget* owner, const QString& text) {
    if (Handler()) {
        Handler()(owner, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    owner);
    box.exec();
}

void SetMorvelMessageHandler(MorvelMessageHandler handler) {
    Handler() = std::move(handler);
}
