#include "tavrin/background_load.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include "platform/codepage.h"
#include "tavrin/dialog_events.h"
#include "tavrin/insert_worker.h"
#include "tavrin/load_report_strings.h"
#include "tavrin/package_import.h"
#include "tavrin/res_string.h"
#include "tavrin/tavrin_dlg.h"
#include "tavrin/user_prompts.h"

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

// Marks the package's ticker entry and tells the user; on the user-interface thread.
void ReportFailedLoad(CTavrinDlg* pDlg, const QString& strName,
                      const std::vector<std::string>& tables) {
    for (stateData& state : pDlg->m_states) {
        if (state.strName == strName) state.bIncomplete = true;
    }
    ShowIncompleteLoad(*pDlg, strName, tables);
}

}  // namespace

void ShowIncompleteLoad(CTavrinDlg& dlg, const QString& strName,
                        const std::vector<std::string>& tables) {
    if (tables.empty() || dlg.IsClosing() || dlg.m_bCloseAfterImport) return;
    constexpr std::size_t kMostNamed = 20;
    QStringList names;
    for (std::size_t i = 0; i < tables.size() && i < kMostNamed; ++i)
        names << QString::fromStdU16String(platform::AnsiToUtf16(tables[i]));
    if (tables.size() > kMostNamed)
        names << QStringLiteral("… (%1)").arg(tables.size() - kMostNamed);
    ShowMessage(ResString(kStrLoadIncompleteTables).arg(strName, names.join(QStringLiteral(", "))));
}

void StartBackgroundLoad(CTavrinDlg& dlg, DbHandle* child, const QString& strName,
                         const std::string& strSqlFile) {
    auto param = std::make_shared<WorkerParam>();
    param->pDatabase = child;
    param->strSqlFile = strSqlFile;
    param->strPackageName = strName.toStdString();
    // The dialog outlives every loader (its loaders are joined before it is destroyed); the
    // queued close is dropped if the dialog goes first.
    CTavrinDlg* pDlg = &dlg;
    param->onDone = [pDlg, strName](WorkerParam* done) {
        const std::vector<std::string> tables = IncompleteTables(done->report, "child.db");
        PrintIncompleteTables(tables);
        PostDialogEvent(pDlg, new CLoadFinishedEvent(strName));
        if (!tables.empty())
            PostDialogCall(pDlg,
                           [pDlg, strName, tables] { ReportFailedLoad(pDlg, strName, tables); });
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
