// The session browser's part of the main dialog: first-page queries, search and paging. The
// SQL texts and the page arithmetic come from plain functions (query_builder.h, paging.h);
// this file moves values between them, the database and the controls.
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/codepage.h"
#include "tavrin/browser/browser_db.h"
#include "tavrin/browser/codepage_like.h"
#include "tavrin/browser/paging.h"
#include "tavrin/browser/query_builder.h"
#include "tavrin/ui/audit_combo_box.h"
#include "tavrin/ui/dialog_aids.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/package_combo_box.h"
#include "tavrin/ui/res_string.h"
#include "tavrin/ui/tavrin_dlg.h"
#include "tavrin/ui/user_prompts.h"

namespace {

constexpr int kStrPageBeyondLast = 143;
constexpr int kStrPageNotPositive = 144;
constexpr int kStrBadAddress = 145;
constexpr int kStrTotalBefore = 147;
constexpr int kStrTotalAfter = 148;
constexpr int kStrPagesAfter = 149;
constexpr int kStrTotalAfterOne = 260;  // the singular of 148
constexpr int kStrPagesAfterOne = 261;  // the singular of 149

// The word after a count: its singular form for 1 when the language module has one.
QString CountWord(int n, int nMany, int nOne) {
    const QString one = n == 1 ? ResString(nOne) : QString();
    return one.isEmpty() ? ResString(nMany) : one;
}

bool IsJoinedView(const CTavrinDlg& dlg) {
    return dlg.m_comboAudit && dlg.m_comboAudit->currentIndex() == CAuditComboBox::kJoinedViewIndex;
}

std::string AnsiFilter(const CTavrinDlg& dlg) {
    return platform::Utf16ToAnsi(dlg.m_strWhere.toStdU16String());
}

browser::RowCallback FillerFor(const std::string& table) {
    if (table == "unix_vsms_log" || table == "unix_xapp_log") return &CListCtrlEx::FillGraphicRow;
    return &CListCtrlEx::FillCharRow;
}

std::u16string ComboText(const QComboBox* combo) {
    return combo ? combo->currentText().toStdU16String() : std::u16string(u"00");
}

std::u16string BoundText(const QDateEdit* picker, const QComboBox* hour, const QComboBox* minute,
                         const QComboBox* second) {
    const QDate date = picker ? picker->date() : QDate(2000, 1, 1);
    return browser::FormatDateTime(date.year(), date.month(), date.day(), ComboText(hour),
                                   ComboText(minute), ComboText(second));
}

// Rebuilds m_strWhere from the filter controls for the selected view. On an invalid address
// shows message 145, leaves the shortened clause and returns false.
bool BuildFilter(CTavrinDlg& dlg) {
    dlg.UpdateData(true);
    browser::FilterValues values;
    values.strStart = BoundText(dlg.m_dateStart, dlg.m_comboStartHour, dlg.m_comboStartMinute,
                                dlg.m_comboStartSecond);
    values.strEnd =
        BoundText(dlg.m_dateEnd, dlg.m_comboEndHour, dlg.m_comboEndMinute, dlg.m_comboEndSecond);
    values.strLoginAddr = dlg.m_strLoginAddr.toStdU16String();
    values.strRemoteAddr = dlg.m_strRemoteAddr.toStdU16String();
    values.strLoginName = dlg.m_strLoginName.toStdU16String();
    values.strRemoteName = dlg.m_strRemoteName.toStdU16String();
    browser::FilterClause clause = browser::BuildFilterClause(values, IsJoinedView(dlg));
    dlg.m_strWhere = QString::fromStdU16String(clause.strClause);
    if (clause.failure != browser::FilterFailure::None) {
        ShowMessage(ResString(kStrBadAddress));
        return false;
    }
    return true;
}

// Every page load counts first, also on a connection just (re)opened: name filters compare
// by code-page character from the count on.
int Count(CTavrinDlg& dlg, const std::string& sql) {
    if (!dlg.m_pParentDb) return 0;
    browser::RegisterCodePageLike(dlg.m_pParentDb->db);
    return browser::CountRows(*dlg.m_pParentDb, sql);
}

// Runs one page query into the list with the view's row filler.
void FillPage(CTavrinDlg& dlg, const std::string& sql, browser::RowCallback filler) {
    if (!dlg.m_pParentDb || !dlg.m_list) return;
    CRowContext context(dlg.m_list, dlg.m_strPackageName);
    browser::RunPageQuery(*dlg.m_pParentDb, sql, filler, &context);
}

void FillOffsetPage(CTavrinDlg& dlg, int nOffset) {
    if (IsJoinedView(dlg))
        FillPage(dlg, browser::JoinedPageQuery(AnsiFilter(dlg), nOffset),
                 &CListCtrlEx::FillJoinedRow);
    else
        FillPage(dlg, browser::TablePageQuery(dlg.m_strTable, AnsiFilter(dlg), nOffset),
                 FillerFor(dlg.m_strTable));
}

browser::PageState CurrentState(const CTavrinDlg& dlg) {
    browser::PageState state;
    state.nTotalRows = dlg.m_nTotalRows;
    state.nPageCount = dlg.m_nPageCount;
    state.nCurPage = dlg.m_nCurPage;
    return state;
}

// A move of previous, next or go to: the new page and the two buttons it decides.
void ApplyMove(CTavrinDlg& dlg, const browser::PageMove& move) {
    dlg.m_nCurPage = move.state.nCurPage;
    if (dlg.m_btnPrev) dlg.m_btnPrev->setEnabled(move.buttons.bPrev);
    if (dlg.m_btnNext) dlg.m_btnNext->setEnabled(move.buttons.bNext);
}

void ShowPageNumber(CTavrinDlg& dlg) {
    if (dlg.m_editPage)
        dlg.m_editPage->setText(QString::fromStdU16String(browser::PageNumberText(dlg.m_nCurPage)));
}

void ClearList(CTavrinDlg& dlg) {
    if (dlg.m_list) dlg.m_list->ClearRows();
}

}  // namespace

void CTavrinDlg::OnFirstPage() {
    ClearList(*this);
    if (IsJoinedView(*this))
        QueryJoined();
    else
        QueryTable(m_strTable);
    ShowPageNumber(*this);
}

void CTavrinDlg::OnPrevPage() {
    std::optional<browser::PageMove> move = browser::PrevPageMove(CurrentState(*this));
    if (!move) return;  // already on the first page
    ClearList(*this);
    FillOffsetPage(*this, move->nOffset);
    ApplyMove(*this, *move);
    ShowPageNumber(*this);
}

void CTavrinDlg::OnNextPage() {
    std::optional<browser::PageMove> move = browser::NextPageMove(CurrentState(*this));
    if (!move) return;  // already on the last page
    ClearList(*this);
    FillOffsetPage(*this, move->nOffset);
    ApplyMove(*this, *move);
    ShowPageNumber(*this);
}

void CTavrinDlg::OnGotoPage() {
    const QString typed = m_editPage ? m_editPage->text().left(9) : QString();
    const int n = browser::ParsePageNumber(platform::Utf16ToAnsi(typed.toStdU16String()));
    const browser::PageState state = CurrentState(*this);
    switch (browser::CheckGotoPage(state, n)) {
        case browser::GotoCheck::BeyondLast:
            ShowMessage(ResString(kStrPageBeyondLast));
            return;
        case browser::GotoCheck::NotPositive:
            ShowMessage(ResString(kStrPageNotPositive));
            return;
        case browser::GotoCheck::Ok:
            break;
    }
    const browser::PageMove move = browser::GotoPageMove(state, n);
    ClearList(*this);
    FillOffsetPage(*this, move.nOffset);
    ApplyMove(*this, move);  // the typed text stays as it is
}

void CTavrinDlg::OnSearch() {
    if (!BuildFilter(*this)) return;
    ClearList(*this);
    const std::string filter = AnsiFilter(*this);
    if (IsJoinedView(*this)) {
        StartPaging(Count(*this, browser::JoinedCountQuery(filter)));
        FillPage(*this, browser::JoinedSearchPageQuery(filter), &CListCtrlEx::FillJoinedRow);
    } else {
        StartPaging(Count(*this, browser::TableCountQuery(m_strTable, filter)));
        FillPage(*this, browser::TableFirstPageQuery(m_strTable, filter), FillerFor(m_strTable));
    }
}

void CTavrinDlg::StartPaging(int nTotal) {
    const browser::PageState state = browser::StartPagingState(nTotal);
    const browser::PageButtons buttons = browser::StartPagingButtons(state);
    m_nTotalRows = state.nTotalRows;
    if (m_staticTotal) {
        m_staticTotal->setText(QString::fromStdU16String(browser::TotalLabel(
            ResString(kStrTotalBefore).toStdU16String(), nTotal,
            CountWord(nTotal, kStrTotalAfter, kStrTotalAfterOne).toStdU16String())));
        m_staticTotal->show();
    }
    m_nPageCount = state.nPageCount;
    m_nCurPage = state.nCurPage;
    if (m_staticPages) {
        m_staticPages->setText(QString::fromStdU16String(browser::PagesLabel(
            m_nPageCount,
            CountWord(m_nPageCount, kStrPagesAfter, kStrPagesAfterOne).toStdU16String())));
        m_staticPages->show();
    }
    if (m_editPage) m_editPage->show();
    if (m_btnFirst) m_btnFirst->show();
    if (m_btnPrev) {
        m_btnPrev->show();
        m_btnPrev->setEnabled(buttons.bPrev);
    }
    if (m_btnNext) {
        m_btnNext->show();
        m_btnNext->setEnabled(buttons.bNext);
    }
    if (m_btnGoto) {
        m_btnGoto->show();
        m_btnGoto->setEnabled(buttons.bGoto);
    }
}

void CTavrinDlg::DisablePaging() {
    ClearList(*this);
    if (m_btnPrev) m_btnPrev->setEnabled(false);
    if (m_btnNext) m_btnNext->setEnabled(false);
    if (m_btnGoto) m_btnGoto->setEnabled(false);
}

void CTavrinDlg::ClearFilters() {
    m_strWhere.clear();
    m_strLoginAddr.clear();
    m_strRemoteAddr.clear();
    m_strLoginName.clear();
    m_strRemoteName.clear();
    for (QLineEdit* edit : {m_editLoginAddr, m_editRemoteAddr, m_editLoginName, m_editRemoteName})
        if (edit) edit->clear();
}

void CTavrinDlg::ShowNoPackage() {
    DisablePaging();
    m_nTotalRows = 0;
    m_nPageCount = 0;
    m_nCurPage = 0;
    if (m_staticTotal) m_staticTotal->clear();
    if (m_staticPages) m_staticPages->clear();
    m_strPackageName.clear();
    m_strStartDate.clear();
    m_strEndDate.clear();
    if (m_comboPackage) m_comboPackage->setCurrentIndex(-1);
    ShowPackageFingerprint(*this);
    UpdateData(false);
}

void CTavrinDlg::QueryTable(const std::string& strTable) {
    m_strTable = strTable;
    const std::string filter = AnsiFilter(*this);
    StartPaging(Count(*this, browser::TableCountQuery(strTable, filter)));
    FillPage(*this, browser::TableFirstPageQuery(strTable, filter), FillerFor(strTable));
}

void CTavrinDlg::QueryJoined() {
    const std::string filter = AnsiFilter(*this);
    StartPaging(Count(*this, browser::JoinedCountQuery(filter)));
    FillPage(*this, browser::JoinedFirstPageQuery(filter), &CListCtrlEx::FillJoinedRow);
}

void CTavrinDlg::OnAuditTypeChange(int nIndex) {
    if (!m_pParentDb || !m_pParentDb->db || !m_pChildDb || !m_pChildDb->db || !m_list)
        return;  // no package loaded yet
    static const char* const kTables[] = {"unix_xapp_log", "unix_vsms_log", "unix_xfer_log",
                                          "unix_sms_log"};
    switch (nIndex) {
        case 0:
        case 1:
            m_list->m_nKind = nIndex;
            m_list->SetGraphicLayout();
            break;
        case 2:
        case 3:
            m_list->SetCharLayout();
            break;
        default:
            m_list->SetGraphicLayout();
            break;
    }
    RebuildFilter();
    if (nIndex == CAuditComboBox::kJoinedViewIndex)
        QueryJoined();
    else
        QueryTable(kTables[nIndex]);
}

void CTavrinDlg::RebuildFilter() {
    BuildFilter(*this);
}
