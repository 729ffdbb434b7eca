// CImportProgressDialog: the window an import shows while its steps run off the user-interface
// thread. It names the step and the file it works on, shows how far it is (the archiver's own
// percentage, then the bytes of each dump converted or loaded) and offers Cancel, which passes
// the request to the running step through the shared CImportProgress. Closing it (its close
// box, Escape, or the termination handling closing nested windows) counts as Cancel; it never
// disappears before the step it runs has returned.
//
// User-interface thread only (the steps themselves run on a thread of their own).
#pragma once

#include <functional>

#include <QDialog>
#include <QString>
#include <QTimer>

#include "tavrin/import/import_progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace ui {

class CImportProgressDialog : public QDialog {
    Q_OBJECT
  public:
    // A progress window over parent for the import of package strPackage; progress is the
    // import's and must outlive the dialog. Not shown until the first RunStep.
    CImportProgressDialog(QWidget* parent, package_import::CImportProgress& progress,
                          const QString& strPackage);
    ~CImportProgressDialog() override;

    // Runs work on a thread of its own and returns once it has returned and the thread is
    // joined. Meanwhile the dialog is shown (window-modal: the main window repaints and takes
    // its posted events, the ticker's included, but no input) and refreshed ten times a second.
    // The dialog stays shown between steps until it is destroyed. work must not touch widgets.
    void RunStep(const std::function<void()>& work);

    // The label text for a snapshot of the progress, from the language module.
    static QString StepText(const package_import::SImportProgress& state);

    QLabel* Label() const { return m_pLabel; }
    QProgressBar* Bar() const { return m_pBar; }
    QPushButton* CancelButton() const { return m_pCancel; }

  protected:
    void closeEvent(QCloseEvent* e) override;  // asks to cancel, stays open
    void reject() override;                    // Escape: asks to cancel

  private:
    void Refresh();
    void Cancel();

    package_import::CImportProgress& m_progress;
    QLabel* m_pLabel = nullptr;
    QProgressBar* m_pBar = nullptr;
    QPushButton* m_pCancel = nullptr;
    QTimer m_refresh;
};

}  // namespace ui
