// The session browser's part of the main dialog. The queries, the filter clause and the page
// state are the browser model's (tavrin/browser/browser_model.h); this file hands it the
// field values and shows what it returns.
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/qt/user_prompts.h"
#include "tavrin/browser/paging.h"
#include "tavrin/ui/audit_combo_box.h"
#include "tavrin/ui/dialog_aids.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/load_report_strings.h"
#include "tavrin/ui/package_combo_box.h"
#include "tavrin/ui/res_string.h"
#include "tavrin/ui/tavrin_dlg.h"
#include "tavrin/workspace/package_flags.h"

namespace {

constexpr int kStrTotalBefore = 147;
constexpr int kStrTotalAfter = 148;
constexpr int kStrPagesAfter = 149;
constexpr int kStrTotalAfterOne = 260;  // the singular of 148
constexpr int kStrPagesAfterOne = 261;  // the singular of 149

// The word after a count: its singular form for 1 when the language module has one.
QString CountWord(int n, int nMany, int nOne) {
    const QString one = n == 1 ? ui::ResString(nOne) : QString();
    return one.isEmpty() ? ui::ResString(nMany) : one;
}

std::u16string ComboText(const QComboBox* combo) {
    return combo->currentText().toStdU16String();
}

std::u16string BoundText(const QDateEdit* picker, const QComboBox* hour, const QComboBox* minute,
                         const QComboBox* second) {
    const QDate date = picker->date();
    return browser::FormatDateTime(date.year(), date.month(), date.day(), ComboText(hour),
                                   ComboText(minute), ComboText(second));
}

}  // namespace

browser::FilterValues CTavrinDlg::FilterFields() {
    UpdateData(true);
    browser::FilterValues values;
    values.strStart =
        BoundText(m_dateStart, m_comboStartHour, m_comboStartMinute, m_comboStartSecond);
    values.strEnd = BoundText(m_dateEnd, m_comboEndHour, m_comboEndMinute, m_comboEndSecond);
    values.strLoginAddr = m_strLoginAddr.toStdU16String();
    values.strRemoteAddr = m_strRemoteAddr.toStdU16String();
    values.strLoginName = m_strLoginName.toStdU16String();
    values.strRemoteName = m_strRemoteName.toStdU16String();
    return values;
}

void CTavrinDlg::ShowBrowserUpdate(const browser::BrowserUpdate& update) {
    if (update.nMessage != 0) common::ShowMessage(ui::ResString(update.nMessage));
    if (update.bRefused) return;
    const browser::BrowserScreen& screen = update.screen;
    // With no package open the list keeps its columns, empty.
    if (screen.bOpen)
        m_list->ShowPage(screen);
    else
        m_list->ClearRows();
    if (screen.bOpen) m_comboAudit->ShowView(screen.eView);
    if (screen.bCounted) {
        const int nTotal = screen.page.nTotalRows;
        const int nPages = screen.page.nPageCount;
        m_staticTotal->setText(QString::fromStdU16String(browser::TotalLabel(
            ui::ResString(kStrTotalBefore).toStdU16String(), nTotal,
            CountWord(nTotal, kStrTotalAfter, kStrTotalAfterOne).toStdU16String())));
        m_staticPages->setText(QString::fromStdU16String(browser::PagesLabel(
            nPages, CountWord(nPages, kStrPagesAfter, kStrPagesAfterOne).toStdU16String())));
        for (QWidget* widget :
             std::initializer_list<QWidget*>{m_staticTotal, m_staticPages, m_editPage, m_btnFirst,
                                             m_btnPrev, m_btnNext, m_btnGoto})
            widget->show();
    } else {
        // A view still loading says so: an empty list alone would read as "no sessions".
        if (screen.bOpen && screen.bLoading) {
            m_staticTotal->setText(ui::ResString(ui::kStrViewLoading));
            m_staticTotal->show();
        } else {
            m_staticTotal->clear();
        }
        m_staticPages->clear();
    }
    m_btnPrev->setEnabled(screen.buttons.bPrev);
    m_btnNext->setEnabled(screen.buttons.bNext);
    m_btnGoto->setEnabled(screen.buttons.bGoto);
    if (update.nPageField)
        m_editPage->setText(QString::fromStdU16String(browser::PageNumberText(*update.nPageField)));
}

void CTavrinDlg::BrowseOpenPackage() {
    browser::BrowserPackage package;
    package.strName = m_strPackageName.toStdString();
    package.strPackageFolder = m_list->PackageFolder(m_strPackageName);
    package.pParentDb = m_pParentDb;
    package.bHasTabTable = g_bHasTabTable;
    package.bHasMatrixTable = g_bHasMatrixTable;
    package.pLoaded = m_loads.LoadedTables(package.strName);
    ShowBrowserUpdate(m_browser.Open(package));
}

void CTavrinDlg::OnFirstPage() {
    ShowBrowserUpdate(m_browser.FirstPage());
}

void CTavrinDlg::OnPrevPage() {
    ShowBrowserUpdate(m_browser.PrevPage());
}

void CTavrinDlg::OnNextPage() {
    ShowBrowserUpdate(m_browser.NextPage());
}

void CTavrinDlg::OnGotoPage() {
    const QString typed = m_editPage->text();
    ShowBrowserUpdate(m_browser.GotoPage(typed.toStdU16String()));
}

void CTavrinDlg::OnSearch() {
    ShowBrowserUpdate(m_browser.Search(FilterFields()));
}

void CTavrinDlg::OnAuditTypeChange(browser::AuditView view) {
    ShowBrowserUpdate(m_browser.ChangeView(view, FilterFields()));
}

void CTavrinDlg::DisablePaging() {
    ShowBrowserUpdate(m_browser.DisablePaging());
}

void CTavrinDlg::ClearFilters() {
    m_strLoginAddr.clear();
    m_strRemoteAddr.clear();
    m_strLoginName.clear();
    m_strRemoteName.clear();
    for (QLineEdit* edit : {m_editLoginAddr, m_editRemoteAddr, m_editLoginName, m_editRemoteName})
        edit->clear();
}

void CTavrinDlg::ShowNoPackage() {
    ShowBrowserUpdate(m_browser.Close());
    m_strPackageName.clear();
    m_strStartDate.clear();
    m_strEndDate.clear();
    m_comboPackage->setCurrentIndex(-1);
    ShowPackageFingerprint();
    UpdateData(false);
}
