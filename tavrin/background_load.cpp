#include "tavrin/background_load.h"

#include <QCoreApplication>
#include <QTimer>

#include "tavrin/dialog_events.h"
#include "tavrin/insert_worker.h"
#include "tavrin/tavrin_dlg.h"

namespace {

// Runs on the user-interface thread after a loader ended: its connection is no longer needed
// unless its package is the open one (or has been opened again meanwhile). The loader marks
// itself finished just after its completion hook, so a moment later is asked again.
void CloseIdleChild(CTavrinDlg* pDlg, const QString& strName) {
    for (MyStruct& package : pDlg->m_packages) {
        if (package.strName != strName) continue;
        DbHandle* child = package.pChildDb.get();
        if (!child || child == pDlg->m_pChildDb) return;
        if (IsBackgroundLoadRunning(*pDlg, child)) {
            QTimer::singleShot(10, pDlg, [pDlg, strName] { CloseIdleChild(pDlg, strName); });
        } else {
            child->Close();
        }
        return;
    }
}

}  // namespace

void StartBackgroundLoad(CTavrinDlg& dlg, DbHandle* child, const QString& strName,
                         const std::string& strSqlFile) {
    auto param = std::make_shared<WorkerParam>();
    param->pDatabase = child;
    param->strSqlFile = strSqlFile;
    param->strPackageName = strName.toStdString();
    // The dialog outlives every loader (its loaders are joined before it is destroyed); the
    // queued close is dropped if the dialog goes first.
    CTavrinDlg* pDlg = &dlg;
    param->onDone = [pDlg, strName](WorkerParam*) {
        PostDialogEvent(pDlg, new CLoadFinishedEvent(strName));
        PostDialogCall(pDlg, [pDlg, strName] { CloseIdleChild(pDlg, strName); });
    };
    dlg.m_workerParam.push_back(param);
    auto worker = std::make_shared<CInsertWorker>();
    worker->Start(param);
    dlg.m_loaders.push_back(std::move(worker));
}

bool IsBackgroundLoadRunning(const CTavrinDlg& dlg, const DbHandle* child) {
    if (!child) return false;
    for (const std::shared_ptr<WorkerParam>& param : dlg.m_workerParam) {
        if (param->pDatabase == child && !param->bFinished.load()) return true;
    }
    return false;
}

void StopBackgroundLoads(CTavrinDlg& dlg) {
    for (const std::shared_ptr<CInsertWorker>& worker : dlg.m_loaders) worker->Stop();
}
