#include "common/qt/user_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace common {

namespace {
CUserPrompts* g_pInstalled = nullptr;
}

void CQtUserPrompts::ShowMessage(const QString& text) {
    // No caption of our own: the window title stays empty, as the platform's default box.
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void CQtUserPrompts::ShowOwnedMessage(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    owner ? owner : QApplication::activeWindow());
    box.exec();
}

bool CQtUserPrompts::AskYesNo(const QString& text) {
    QMessageBox box(QMessageBox::Question, QString(), text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString CQtUserPrompts::ChooseOpenFile(const QString& filter) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(),
                                        QtNameFilter(filter));
}

CUserPrompts& UserPrompts() {
    if (g_pInstalled) return *g_pInstalled;
    static CQtUserPrompts qtPrompts;
    return qtPrompts;
}

CUserPrompts* InstallUserPrompts(CUserPrompts* prompts) {
    CUserPrompts* previous = g_pInstalled;
    g_pInstalled = prompts;
    return previous;
}

void ShowMessage(const QString& text) {
    UserPrompts().ShowMessage(text);
}

void ShowOwnedMessage(QWidget* owner, const QString& text) {
    UserPrompts().ShowOwnedMessage(owner, text);
}

bool AskYesNo(const QString& text) {
    return UserPrompts().AskYesNo(text);
}

QString ChooseOpenFile(const QString& filter) {
    return UserPrompts().ChooseOpenFile(filter);
}

QString QtNameFilter(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        if (description.isEmpty() && patterns.isEmpty()) continue;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString shown = QStringLiteral("(%1)").arg(patterns);
        // A description that already names its patterns keeps them once.
        if (description.endsWith(shown))
            filters << description;
        else
            filters << QStringLiteral("%1 %2").arg(description, shown).trimmed();
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace common
