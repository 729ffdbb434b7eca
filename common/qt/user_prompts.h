// The interface in front of both programs' modal prompts: message boxes and the file dialogs.
// The programs use the Qt implementation; tests install a recording fake
// (common/testing/fake_user_prompts.h) so that no test blocks on a modal window.
// User-interface thread only.
#pragma once

#include <QString>

class QWidget;

namespace common {

class CUserPrompts {
  public:
    virtual ~CUserPrompts() = default;
    // Shows text in a message box with the OK button and no caption of the program's own;
    // returns when the user has dismissed it.
    virtual void ShowMessage(const QString& text) = 0;
    // Shows text in an OK box owned by owner (null: the active window) with the application's
    // name as caption, as the viewer shows its messages. The default shows it as ShowMessage.
    virtual void ShowOwnedMessage(QWidget* owner, const QString& text) {
        (void)owner;
        ShowMessage(text);
    }
    // Shows text in a message box with the Yes and No buttons (No the default); returns true
    // only when the user chose Yes. The default answers No.
    virtual bool AskYesNo(const QString& text) {
        (void)text;
        return false;
    }
    // Shows the open-file dialog with filter in the "description|pattern|...|" syntax of the
    // string table; returns the chosen file's path, or empty text when the user cancelled.
    virtual QString ChooseOpenFile(const QString& filter) = 0;
    // The open-file dialog starting in folder (empty text: where the platform starts it).
    // The default ignores the folder.
    virtual QString ChooseOpenFileIn(const QString& filter, const QString& folder) {
        (void)folder;
        return ChooseOpenFile(filter);
    }
    // Shows the save-file dialog with filter (same syntax) and suggestedPath as the proposed
    // file; the dialog asks before an existing file is replaced. Returns the chosen path, or
    // empty text when the user cancelled. The default answers "cancelled".
    virtual QString ChooseSaveFile(const QString& filter, const QString& suggestedPath) {
        (void)filter;
        (void)suggestedPath;
        return QString();
    }
};

// Modal Qt dialogs, parented to the active window when there is one.
class CQtUserPrompts : public CUserPrompts {
  public:
    void ShowMessage(const QString& text) override;
    void ShowOwnedMessage(QWidget* owner, const QString& text) override;
    bool AskYesNo(const QString& text) override;
    QString ChooseOpenFile(const QString& filter) override;
    // Defined in user_prompts_files.cpp.
    QString ChooseOpenFileIn(const QString& filter, const QString& folder) override;
    QString ChooseSaveFile(const QString& filter, const QString& suggestedPath) override;
};

// The process-wide current prompts: the installed instance, or a CQtUserPrompts when none is
// installed.
CUserPrompts& UserPrompts();

// Installs prompts as the current instance (null restores the Qt one). The caller keeps
// ownership and must uninstall it before destroying it. Returns the previous instance (null
// when it was the Qt default).
CUserPrompts* InstallUserPrompts(CUserPrompts* prompts);

// Shorthands for UserPrompts().ShowMessage / ShowOwnedMessage / AskYesNo / ChooseOpenFile.
void ShowMessage(const QString& text);
void ShowOwnedMessage(QWidget* owner, const QString& text);
bool AskYesNo(const QString& text);
QString ChooseOpenFile(const QString& filter);
// Shorthands for UserPrompts().ChooseOpenFileIn / ChooseSaveFile
// (user_prompts_files.cpp).
QString ChooseOpenFileIn(const QString& filter, const QString& folder);
QString ChooseSaveFile(const QString& filter, const QString& suggestedPath);

// Turns a "description|pattern|description|pattern|" filter into Qt's name-filter syntax,
// "description (pattern);;description (pattern)". Several patterns separated by ";" become
// blank-separated; a description that already ends with "(pattern)" is not given it twice.
// Empty input gives empty output.
QString QtNameFilter(const QString& pipeFilter);

}  // namespace common
