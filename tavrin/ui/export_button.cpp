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
#include "tavrin/browser/browser_model.h"
#include "tavrin/browser/csv_export.h"
#include "tavrin/ui/aids_strings.h"
#include "tavrin/ui/dialog_aids.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/load_report_strings.h"
#include "tavrin/ui/res_string.h"

namespace ui {

namespace {

// Views from this many rows on show the progress dialog.
constexpr int kProgressThreshold = 5000;

// The proposed file: "{package}_{view}.csv" in folder, the last package's.
QString SuggestedFile(const browser::CBrowserModel& browser, const QString& folder) {
    const bool bJoined = browser.Screen().eView == browser::AuditView::Joined;
    const QString view =
        bJoined ? QStringLiteral("joined") : QString::fromStdString(browser.Table());
    const QString name = QString::fromStdString(browser.Screen().strPackageName) +
                         QLatin1Char('_') + view + QStringLiteral(".csv");
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

}  // namespace

void CAuditorExtras::OnExport() {
    const browser::CBrowserModel& browser = m_browser;
    // The query is the one the list pages through, so the file holds what the list shows.
    std::optional<browser::ExportRequest> source = browser.ExportOfView();
    if (!source) {
        common::ShowMessage(ResString(kStrExportNoPackage));
        return;
    }
    if (browser.Screen().bLoading) {  // its table is not there yet: no empty file as if true
        common::ShowMessage(ResString(kStrViewLoadingRefused));
        return;
    }
    const QString path = common::ChooseSaveFile(ResString(kStrExportFilter),
                                                SuggestedFile(browser, m_lastFolder.Folder()));
    if (path.isEmpty()) return;

    browser::ExportRequest request = std::move(*source);
    for (int col = 0; col < CSessionTableModel::kFirstActionColumn && col < m_list.ColumnCount();
         ++col)
        request.headers.push_back(m_list.HeaderText(col).toStdString());
    request.strOutPath = QFileInfo(path).absoluteFilePath().toStdString();

    // Large views show a progress dialog at once; it is modal, so nothing in the window can
    // change the view while the file is written. Small views finish before it would matter.
    std::unique_ptr<QProgressDialog> progress;
    const int nTotalRows = browser.Screen().page.nTotalRows;
    if (nTotalRows >= kProgressThreshold) {
        progress = std::make_unique<QProgressDialog>(
            ResString(kStrExportProgress), ResString(kStrExportCancel), 0, nTotalRows, &m_window);
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
    std::optional<common::CNoTimeLimitScope> lifted;
    lifted.emplace();
    const browser::ExportResult result = browser::ExportView(request, [&](long long nRows) {
        if (!progress) return true;
        progress->setValue(static_cast<int>(std::min<long long>(nRows, progress->maximum())));
        QApplication::processEvents();
        return !progress->wasCanceled();
    });
    lifted.reset();
    QApplication::restoreOverrideCursor();
    progress.reset();

    switch (result.eStatus) {
        case browser::ExportStatus::kDone:
            common::ShowMessage(ResString(kStrExportDone).arg(result.nRows).arg(path));
            break;
        case browser::ExportStatus::kCancelled:
            common::ShowMessage(ResString(kStrExportCancelled));
            break;
        case browser::ExportStatus::kQueryFailed:
        case browser::ExportStatus::kWriteFailed:
            common::ShowMessage(
                ResString(kStrExportFailed).arg(path, QString::fromStdString(result.strError)));
            break;
    }
}

}  // namespace ui
