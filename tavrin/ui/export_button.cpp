// The export button of the main dialog: the whole current view (the table or joined view the
// list pages through, with the stored filter of the last search or type change, as paging
// uses it) written to a CSV file the user chooses, behind a progress dialog that can cancel.
#include <algorithm>
#include <memory>
#include <optional>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QProgressDialog>

#include "common/qt/user_prompts.h"
#include "common/sql_stop.h"
#include "tavrin/browser/csv_export.h"
#include "tavrin/ui/aids_strings.h"
#include "tavrin/ui/dialog_aids.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/res_string.h"
#include "tavrin/ui/tavrin_dlg.h"

namespace {

// Views from this many rows on show the progress dialog.
constexpr int kProgressThreshold = 5000;

// The proposed file: "{package}_{view}.csv" in the folder of the last package opened.
QString SuggestedFile(CTavrinDlg& dlg, bool bJoined) {
    const QString view =
        bJoined ? QStringLiteral("joined") : QString::fromStdString(dlg.Browser().Table());
    const QString name = dlg.m_strPackageName + QLatin1Char('_') + view + QStringLiteral(".csv");
    const QString folder = LastPackageFolder(dlg);
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

}  // namespace

void CAuditorExtras::OnExport() {
    CTavrinDlg& dlg = m_dlg;
    const browser::CBrowserModel& browser = dlg.Browser();
    const bool bJoined = browser.Screen().eView == browser::AuditView::Joined;
    if (!browser.IsOpen() || !dlg.m_pParentDb || !dlg.m_pParentDb->db || !dlg.m_list ||
        (!bJoined && browser.Table().empty())) {
        ShowMessage(ResString(kStrExportNoPackage));
        return;
    }
    const QString path = ChooseSaveFile(ResString(kStrExportFilter), SuggestedFile(dlg, bJoined));
    if (path.isEmpty()) return;

    auditor::ExportRequest request;
    request.strDbPath = dlg.m_pParentDb->path;
    const std::string& filter = browser.FilterClause();
    request.strQuery = bJoined ? auditor::JoinedExportQuery(filter)
                               : auditor::TableExportQuery(browser.Table(), filter);
    request.eKind =
        bJoined ? auditor::ExportRowKind::kJoined : auditor::RowKindOfTable(browser.Table());
    request.strPackageFolder = dlg.m_list->PackageFolder(dlg.m_strPackageName);
    for (int col = 0;
         col < CSessionTableModel::kFirstActionColumn && col < dlg.m_list->ColumnCount(); ++col)
        request.headers.push_back(dlg.m_list->HeaderText(col).toStdString());
    request.strOutPath = QFileInfo(path).absoluteFilePath().toStdString();

    // Large views show a progress dialog at once; it is modal, so nothing in the window can
    // change the view while the file is written. Small views finish before it would matter.
    std::unique_ptr<QProgressDialog> progress;
    const int nTotalRows = browser.Screen().page.nTotalRows;
    if (nTotalRows >= kProgressThreshold) {
        progress = std::make_unique<QProgressDialog>(
            ResString(kStrExportProgress), ResString(kStrExportCancel), 0, nTotalRows, &dlg);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setAutoClose(false);
        progress->setAutoReset(false);
        progress->setValue(0);
        progress->show();
    }
    QApplication::setOverrideCursor(Qt::BusyCursor);
    // The export steps one query for as long as the view takes, behind its progress window and
    // Cancel, so the window thread's statement time limit does not apply to it.
    std::optional<sqlstop::CNoTimeLimitScope> lifted;
    lifted.emplace();
    const auditor::ExportResult result = auditor::ExportView(request, [&](long long nRows) {
        if (!progress) return true;
        progress->setValue(static_cast<int>(std::min<long long>(nRows, progress->maximum())));
        QApplication::processEvents();
        return !progress->wasCanceled();
    });
    lifted.reset();
    QApplication::restoreOverrideCursor();
    progress.reset();

    switch (result.eStatus) {
        case auditor::ExportStatus::kDone:
            ShowMessage(ResString(kStrExportDone).arg(result.nRows).arg(path));
            break;
        case auditor::ExportStatus::kCancelled:
            ShowMessage(ResString(kStrExportCancelled));
            break;
        case auditor::ExportStatus::kQueryFailed:
        case auditor::ExportStatus::kWriteFailed:
            ShowMessage(
                ResString(kStrExportFailed).arg(path, QString::fromStdString(result.strError)));
            break;
    }
}
