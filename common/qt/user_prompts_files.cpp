// The Qt side of the prompts the auditing aids add: the open-file dialog in a start folder and
// the save-file dialog.
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

#include "common/qt/user_prompts.h"

namespace common {

QString CQtUserPrompts::ChooseOpenFileIn(const QString& filter, const QString& folder) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), folder,
                                        QtNameFilter(filter));
}

QString CQtUserPrompts::ChooseSaveFile(const QString& filter, const QString& suggestedPath) {
    QFileDialog dialog(QApplication::activeWindow(), QString(), suggestedPath,
                       QtNameFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // A name typed without an extension still gets the format's own.
    const QString suffix = QFileInfo(suggestedPath).suffix();
    if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

QString ChooseOpenFileIn(const QString& filter, const QString& folder) {
    return UserPrompts().ChooseOpenFileIn(filter, folder);
}

QString ChooseSaveFile(const QString& filter, const QString& suggestedPath) {
    return UserPrompts().ChooseSaveFile(filter, suggestedPath);
}

}  // namespace common
