// The main dialog's close handling, and the same handling for a session that ends without a
// close message (logout, closed terminal, kill; on Windows the end of the session too): SIGTERM,
// SIGINT and SIGHUP are turned into a call of OnClose on the user-interface thread. A signal also
// stops at once any statement on package data, on every thread (common/sql_stop.h), so a thread
// busy in a query cannot hold the close up; and the user-interface thread's statements on package
// data stop after a time limit, so the window is never away from its events for long.
#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <string>
#include <vector>

#include "common/process_registry.h"
#include "common/qt/termination_notifier.h"
#include "common/qt/user_prompts.h"
#include "common/sql_stop.h"
#include "platform/paths.h"
#include "platform/termination_signals.h"
#include "tavrin/dispatch/close_cleanup.h"
#include "tavrin/dispatch/registry_sweep.h"
#include "tavrin/import/import_progress.h"
#include "tavrin/ui/background_load.h"
#include "tavrin/ui/load_report_strings.h"
#include "tavrin/ui/res_string.h"
#include "tavrin/ui/tavrin_dlg.h"

namespace {

// How long a statement on package data may keep the user-interface thread. A first page takes a
// few hundredths of a second even on the largest packages; a close requested meanwhile still
// ends the program well within two seconds.
constexpr std::chrono::milliseconds kWindowStatementLimit{1000};

// Set on the dialog while its close handling runs, so a termination signal arriving
// meanwhile (or a nested close request) does not start it a second time.
constexpr char kClosingProperty[] = "tavrinClosing";

// Closes a nested modal window (a message box, the file dialog) first, so that the close
// handling runs in the dialog's own event loop, then runs it. Bounded: a window that refuses
// to close does not keep the program from cleaning up.
void CloseForSignal(QPointer<CTavrinDlg> pDlg, int nTriesLeft) {
    if (!pDlg || pDlg->IsClosing()) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != pDlg && nTriesLeft > 0) {
        modal->close();
        QTimer::singleShot(0, pDlg, [pDlg, nTriesLeft] { CloseForSignal(pDlg, nTriesLeft - 1); });
        return;
    }
    pDlg->OnClose();
}

constexpr char kWatchName[] = "terminationWatch";

// Watches the termination-signal pipe for one main dialog, as its child, and tells the user
// when a statement on the window thread ran past its time limit.
class CTerminationWatch : public QObject {
  public:
    explicit CTerminationWatch(CTavrinDlg* dlg) : QObject(dlg), m_pDlg(dlg) {
        setObjectName(kWatchName);
        // The notifier polls on Windows, where a pipe cannot be watched, and also takes the
        // end of the Windows session.
        new common::CTerminationNotifier(
            [this](int) {
                if (m_pDlg) CloseForSignal(m_pDlg, 5);
            },
            this);
        common::SetThreadTimeLimit(kWindowStatementLimit, &CTerminationWatch::OnStatementStopped,
                                   this);
    }
    // The hook's context goes with the watch.
    ~CTerminationWatch() override { common::SetThreadTimeLimit(std::chrono::milliseconds{0}); }

    // Called by the stop handler when a statement on this thread ran past its time limit:
    // once the handler that ran it has returned, lets statements run again and tells the
    // user, unless the program is closing by then.
    static void OnStatementStopped(void* context) {
        auto* watch = static_cast<CTerminationWatch*>(context);
        QMetaObject::invokeMethod(
            watch,
            [watch] {
                common::ResumeAfterTimeLimit();  // back at the event loop
                CTavrinDlg* dlg = watch->m_pDlg;
                if (dlg && !dlg->ClosePending() && !platform::TerminationRequested())
                    common::ShowMessage(ui::ResString(ui::kStrQueryStopped));
            },
            Qt::QueuedConnection);
    }

  private:
    QPointer<CTavrinDlg> m_pDlg;
};

}  // namespace

void CTavrinDlg::WatchTermination() {
    if (!findChild<QObject*>(kWatchName, Qt::FindDirectChildrenOnly)) new CTerminationWatch(this);
}

bool CTavrinDlg::IsClosing() const {
    return property(kClosingProperty).toBool();
}

bool CTavrinDlg::ClosePending() const {
    return IsClosing() || m_bCloseAfterImport;
}

void CTavrinDlg::RunDeferredClose() {
    if (!m_bCloseAfterImport || m_pRunningImport) return;
    m_bCloseAfterImport = false;
    OnClose();
}

void CTavrinDlg::OnClose() {
    if (IsClosing()) return;
    if (m_pRunningImport) {
        // The import's thread still uses its work folder and the engine: it is stopped first,
        // and the close runs once it has given up (RunDeferredClose).
        m_bCloseAfterImport = true;
        m_pRunningImport->RequestCancel();
        return;
    }
    setProperty(kClosingProperty, true);

    // A loader still filling a child database is stopped (its statement interrupted) and
    // joined first: nothing may use a connection closed below or a folder deleted below.
    m_loads.StopAll();
    m_indexes.StopAll();

    // The open package's databases.
    if (m_pParentDb) m_pParentDb->Close();
    if (m_pChildDb) m_pChildDb->Close();
    m_pParentDb = nullptr;
    m_pChildDb = nullptr;

    const std::string programFolder = platform::ProgramFolder();
    dispatch::SweepRegistry(common::RegistryFolder(programFolder), programFolder);

    StopTimeThread();

    // Every package's handles go before its folder does; the names are all that is needed.
    std::vector<std::string> names;
    for (MyStruct& package : m_packages) {
        package.pParentDb.reset();
        package.pChildDb.reset();
        names.push_back(package.strName.toStdString());
    }
    m_packages.clear();
    dispatch::DeleteWorkFolders(programFolder, names);

    EndDialogDefault();
    // Nothing is left to clean up: a further signal may end the process the default way.
    platform::RestoreDefaultTerminationSignals();
}
