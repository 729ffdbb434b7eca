// A recording stand-in for the modal prompts, for tests. Constructing it installs it as the
// current prompts; destroying it restores the previous ones. Messages are recorded instead of
// shown; the open-file and save-file dialogs answer from queues (empty text, i.e.
// "cancelled", once a queue is empty). User-interface thread only.
#pragma once

#include <QList>
#include <QStringList>

#include "common/qt/user_prompts.h"

namespace common::test {

class CFakeUserPrompts : public CUserPrompts {
  public:
    CFakeUserPrompts() : m_pPrevious(InstallUserPrompts(this)) {}
    ~CFakeUserPrompts() override { InstallUserPrompts(m_pPrevious); }
    CFakeUserPrompts(const CFakeUserPrompts&) = delete;
    CFakeUserPrompts& operator=(const CFakeUserPrompts&) = delete;

    void ShowMessage(const QString& text) override { m_messages << text; }
    bool AskYesNo(const QString& text) override {
        m_questions << text;
        return !m_yesNoAnswers.isEmpty() && m_yesNoAnswers.takeFirst();
    }
    QString ChooseOpenFile(const QString& filter) override {
        m_filters << filter;
        return m_openAnswers.isEmpty() ? QString() : m_openAnswers.takeFirst();
    }
    QString ChooseOpenFileIn(const QString& filter, const QString& folder) override {
        m_openFolders << folder;
        return ChooseOpenFile(filter);
    }
    QString ChooseSaveFile(const QString& filter, const QString& suggestedPath) override {
        m_saveFilters << filter;
        m_saveSuggestions << suggestedPath;
        return m_saveAnswers.isEmpty() ? QString() : m_saveAnswers.takeFirst();
    }

    QStringList m_messages;         // every message shown, in order
    QStringList m_questions;        // every yes/no question asked, in order
    QList<bool> m_yesNoAnswers;     // answers to the next questions (No once it is empty)
    QStringList m_filters;          // the filter of every open-file dialog, in order
    QStringList m_openAnswers;      // paths the next open-file dialogs return, in order
    QStringList m_openFolders;      // the start folder of every ChooseOpenFileIn, in order
    QStringList m_saveFilters;      // the filter of every save-file dialog, in order
    QStringList m_saveSuggestions;  // the proposed file of every save-file dialog, in order
    QStringList m_saveAnswers;      // paths the next save-file dialogs return ("" cancels)

  private:
    CUserPrompts* m_pPrevious;
};

}  // namespace common::test
