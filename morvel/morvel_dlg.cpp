#include "morvel/morvel_dlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>
#include <memory>

#include "common/process_registry.h"
#include "common/qt/lang_module.h"
#include "common/qt/template_control.h"
#include "common/qt/user_prompts.h"
#include "common/qt/window_keys.h"
#include "morvel/command_line.h"
#include "morvel/my_view.h"
#include "morvel/page_model.h"
#include "morvel/scan_loader.h"
#include "morvel/view_extent.h"
#include "platform/paths.h"
#include "platform/process_control.h"

namespace {

constexpr int kTemplateId = 102;
constexpr int kIconId = 128;
constexpr int kStringLinesBefore = 129;
constexpr int kStringLinesAfter = 130;
constexpr int kStringBadPage = 131;
constexpr int kStringCurrentPage = 133;
constexpr int kStringNotFound = 134;
constexpr int kPagingRowHeight = 80;

}  // namespace

CMorvelDlg::CMorvelDlg(const common::CLangModule& lang, const std::string& commandLineText,
                       const std::string& programFolder, QWidget* parent)
    : QDialog(parent), m_lang(lang) {
    QWidget* form = m_lang.LoadDialogTemplate(kTemplateId, this);
    if (form) {
        form->move(0, 0);
        setWindowTitle(form->windowTitle());
        // The window keeps the template's size: it can be neither resized nor maximised.
        setFixedSize(form->size());
    }
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_staticLineCount = common::TemplateControl<QLabel>(*this, form, kTemplateId, 1001);
    m_btnFirstPage = common::TemplateControl<QPushButton>(*this, form, kTemplateId, 1002);
    m_btnPrevPage = common::TemplateControl<QPushButton>(*this, form, kTemplateId, 1003);
    m_btnNextPage = common::TemplateControl<QPushButton>(*this, form, kTemplateId, 1004);
    m_editGotoPage = common::TemplateControl<QLineEdit>(*this, form, kTemplateId, 1005);
    m_staticPageCount = common::TemplateControl<QLabel>(*this, form, kTemplateId, 1006);
    m_btnGotoPage = common::TemplateControl<QPushButton>(*this, form, kTemplateId, 1007);
    m_staticCurrentPage = common::TemplateControl<QLabel>(*this, form, kTemplateId, 1008);
    m_editFind = common::TemplateControl<QLineEdit>(*this, form, kTemplateId, 1009);
    m_btnFindNext = common::TemplateControl<QPushButton>(*this, form, kTemplateId, 1010);
    // Enter in the page field goes to the typed page.
    m_btnGotoPage->setDefault(true);
    connect(m_btnFirstPage, &QPushButton::clicked, this, &CMorvelDlg::OnFirstPage);
    connect(m_btnPrevPage, &QPushButton::clicked, this, &CMorvelDlg::OnPrevPage);
    connect(m_btnNextPage, &QPushButton::clicked, this, &CMorvelDlg::OnNextPage);
    connect(m_btnGotoPage, &QPushButton::clicked, this, &CMorvelDlg::OnGotoPage);
    connect(m_btnFindNext, &QPushButton::clicked, this, &CMorvelDlg::OnFindNext);
    m_pKeys = new common::CWindowKeys(
        *this, [this](QWidget* target, const QKeyEvent& key) { return HandleKey(target, key); });

    m_hIcon = m_lang.Icon(kIconId);

    const morvel::MorvelArguments args = morvel::ParseCommandLineText(commandLineText);
    m_strSessionName = args.strSessionName;
    m_strPackage = args.strPackage;
    m_strProgramFolder = programFolder;
    m_strParentDb = morvel::ParentDbPath(m_strProgramFolder, m_strPackage);

    OnInitDialog();
    if (args.find) ShowFirstMatch(*args.find);
}

CMorvelDlg::~CMorvelDlg() {
    if (m_pKeys) m_pKeys->Detach();
    LeaveRegistry();
}

bool CMorvelDlg::OnInitDialog() {
    setWindowIcon(m_hIcon);
    const QRect window = rect();

    m_pView = new CMyView(this);
    m_pView->m_pOwnerDlg = this;
    m_pView->SetScrollSizes(QSize(window.width() + 200, 0));
    // The view fills the window above the paging row.
    m_pView->setGeometry(0, 0, window.width(), std::max(0, window.height() - kPagingRowHeight));
    m_pView->show();
    RepaintView();

    LoadSessionLines();

    m_nTotalLines = static_cast<int>(LinesInUse().size());
    m_nPage = 1;
    m_nPageCount = morvel::PageCount(static_cast<long long>(LinesInUse().size()));

    m_staticLineCount->setText(QStringLiteral("%1 %2 %3")
                                   .arg(m_lang.String(kStringLinesBefore))
                                   .arg(m_nTotalLines)
                                   .arg(m_lang.String(kStringLinesAfter)));
    m_staticPageCount->setText(QStringLiteral("/%1").arg(m_nPageCount));
    EnableButtons();

    const std::string registry = common::RegistryFolder(m_strProgramFolder);
    m_strPidFile = platform::JoinPath(registry, std::to_string(platform::CurrentProcessId()));
    m_bRegistered = common::RegisterProcess(registry);
    return true;
}

void CMorvelDlg::LoadSessionLines() {
    morvel::ScanData data = morvel::LoadScanData(
        {m_strParentDb, morvel::PackageFolder(m_strProgramFolder, m_strPackage), m_strSessionName},
        stdout);
    m_dbaNames = std::move(data.dbaNames);
    m_dbaLines = std::move(data.dbaLines);
    m_scanLines = std::move(data.scanLines);
    m_nSource = data.nSource;
    FillPage(1);
}

const std::vector<std::string>& CMorvelDlg::LinesInUse() const {
    return m_nSource == morvel::kSourceDbaFiles ? m_dbaLines : m_scanLines;
}

void CMorvelDlg::FillPage(int page) {
    m_pageLines = morvel::LinesOfPage(LinesInUse(), page);
    WidenView();
}

void CMorvelDlg::WidenView() {
    if (!m_pView) return;
    const auto extent =
        morvel::WidenedExtent(morvel::LongestLineLength(m_pageLines), m_pView->VerticalBarWidth(),
                              m_pView->HorizontalBarHeight());
    if (extent) m_pView->SetScrollSizes(QSize(extent->nWidth, extent->nHeight));
}

void CMorvelDlg::EnableButtons() {
    const morvel::PagingButtons buttons = morvel::ButtonsAt(m_nPage, m_nPageCount);
    m_btnPrevPage->setEnabled(buttons.bPrevious);
    m_btnNextPage->setEnabled(buttons.bNext);
    // With no lines there is no page 1 to speak of.
    m_staticCurrentPage->setText(
        m_lang.String(kStringCurrentPage).arg(m_nPageCount > 0 ? m_nPage : 0).arg(m_nPageCount));
}

void CMorvelDlg::ShowPage(int page) {
    m_nPage = page;
    FillPage(m_nPage);
    EnableButtons();
    RepaintView();
}

void CMorvelDlg::RepaintView() {
    if (m_pView) m_pView->viewport()->update();
}

void CMorvelDlg::OnFirstPage() {
    m_nPage = 1;
    FillPage(m_nPage);
    EnableButtons();
    RepaintView();
}

void CMorvelDlg::OnPrevPage() {
    // The button is disabled on page 1; a click that arrives anyway changes nothing.
    if (m_nPage <= 1) return;
    --m_nPage;
    FillPage(m_nPage);
    EnableButtons();
    RepaintView();
}

void CMorvelDlg::OnNextPage() {
    if (m_nPage >= m_nPageCount) return;
    ++m_nPage;
    FillPage(m_nPage);
    EnableButtons();
    RepaintView();
}

void CMorvelDlg::OnGotoPage() {
    const int page = morvel::ParsePageNumber(m_editGotoPage->text().toStdString());
    if (!morvel::IsPageInRange(page, m_nPageCount)) {
        common::ShowOwnedMessage(this, m_lang.String(kStringBadPage));
    } else {
        m_nPage = page;
        FillPage(m_nPage);
        EnableButtons();
    }
    RepaintView();
}

void CMorvelDlg::OnPageUpKey() {
    if (m_btnPrevPage->isEnabled()) OnPrevPage();
}

void CMorvelDlg::OnPageDownKey() {
    if (m_btnNextPage->isEnabled()) OnNextPage();
}

void CMorvelDlg::OnFindKey() {
    m_editFind->setFocus(Qt::ShortcutFocusReason);
    m_editFind->selectAll();
}

void CMorvelDlg::OnFindNext() {
    const QString text = m_editFind->text();
    if (text.isEmpty()) {
        OnFindKey();
        return;
    }
    // Another text starts afresh from the page on show.
    if (text != m_strFindText) m_findMatch.reset();
    m_strFindText = text;
    const morvel::SearchStart start = morvel::NextSearchStart(m_findMatch, m_nPage);
    m_findMatch = morvel::FindNextMatch(LinesInUse(), text.toStdU16String(), start);
    if (!m_findMatch) {
        RepaintView();
        common::ShowOwnedMessage(this, m_lang.String(kStringNotFound).arg(text));
        return;
    }
    const int page = morvel::PageOfLine(m_findMatch->nLine);
    if (page != m_nPage) {
        ShowPage(page);
    } else {
        RepaintView();
    }
    m_pView->ShowMatch(MatchRowOnPage());
}

void CMorvelDlg::ShowFirstMatch(const common::SViewerFind& find) {
    const QString text = QString::fromUtf8(find.strTextUtf8);
    m_editFind->setText(text);
    m_strFindText = text;
    const size_t from = static_cast<size_t>(std::max<std::int64_t>(find.nFromLine, 0));
    m_findMatch = morvel::FindNextMatch(LinesInUse(), text.toStdU16String(), {from, 0});
    // The text came from the index: a viewer that cannot find it stays on page 1 quietly, with
    // the text in the field for the user to try again.
    if (!m_findMatch) return;
    ShowPage(morvel::PageOfLine(m_findMatch->nLine));
    m_pView->ShowMatch(MatchRowOnPage());
}

int CMorvelDlg::MatchRowOnPage() const {
    if (!m_findMatch || morvel::PageOfLine(m_findMatch->nLine) != m_nPage) return -1;
    return static_cast<int>(m_findMatch->nLine % morvel::kLinesPerPage);
}

bool CMorvelDlg::HandleKey(QWidget* target, const QKeyEvent& key) {
    // Enter in the find field searches; it must not reach the go button, the default.
    if (target == m_editFind && (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)) {
        OnFindNext();
        return true;
    }
    if (common::IsKey(key, Qt::Key_PageUp)) {
        OnPageUpKey();
    } else if (common::IsKey(key, Qt::Key_PageDown)) {
        OnPageDownKey();
    } else if (common::IsKey(key, Qt::CTRL | Qt::Key_F)) {
        OnFindKey();
    } else if (common::IsKey(key, Qt::Key_F3)) {
        OnFindNext();
    } else {
        return false;
    }
    return true;
}

void CMorvelDlg::LeaveRegistry() {
    if (!m_bRegistered) return;
    m_bRegistered = false;
    common::UnregisterProcess(common::RegistryFolder(m_strProgramFolder));
}

void CMorvelDlg::closeEvent(QCloseEvent* event) {
    LeaveRegistry();
    QDialog::closeEvent(event);
}

void CMorvelDlg::done(int result) {
    LeaveRegistry();
    QDialog::done(result);
}
