// A recording stand-in for the modal prompts, for tests. Constructing it installs it as the
// current prompts; destroying it restores the previous ones. Messages are recorded instead of
// shown; the open-file dialog answers from a queue (empty text, i.e. "cancelled", once the
// queue is empty). User-interface thread only.
#pragma once

#include <QStringList>

#include "tavrin/user_prompts.h"

class CFakeUserPrompts : public CUserPrompts {
  public:
    CFakeUserPrompts() : m_pPrevious(InstallUserPrompts(this)) {}
    ~CFakeUserPrompts() override { InstallUserPrompts(m_pPrevious); }
    CFakeUserPrompts(const CFakeUserPrompts&) = delete;
    CFakeUserPrompts& operator=(const CFakeUserPrompts&) = delete;

    void ShowMessage(const QString& text) override { m_messages << text; }
    QString ChooseOpenFile(const QString& filter) override {
        m_filters << filter;
        return m_openAnswers.isEmpty() ? QString() : m_openAnswers.takeFirst();
    }

    QStringList m_messages;     // every message shown, in order
    QStringList m_filters;      // the filter of every open-file dialog, in order
    QStringList m_openAnswers;  // paths the next open-file dialogs return, in order

  private:
    CUserPrompts* m_pPrevious;
};
