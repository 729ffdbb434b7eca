#include "tavrin/ui/tavrin_dlg.h"

#include <algorithm>
#include <cstdio>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>

#include "common/qt/lang_module.h"
#include "common/qt/template_control.h"
#include "common/qt/user_prompts.h"
#include "common/qt/window_keys.h"
#include "platform/paths.h"
#include "platform/profile_ini.h"
#include "tavrin/find/find_strings.h"
#include "tavrin/import/archive_extractor.h"
#include "tavrin/ui/audit_combo_box.h"
#include "tavrin/ui/control_loader.h"
#include "tavrin/ui/dialog_aids.h"
#include "tavrin/ui/dialog_events.h"
#include "tavrin/ui/dialog_strings.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/load_report_strings.h"
#include "tavrin/ui/package_combo_box.h"
#include "tavrin/ui/res_string.h"
#include "tavrin/ui/time_thread.h"
#include "tavrin/workspace/date_range.h"

namespace {

// The text-encoding choice lives in the current directory, as the program always kept it.
const char kCodeIni[] = "./code.ini";

bool IsSwallowedKey(const QKeyEvent* e) {
    return e->key() == Qt::Key_Escape || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

// Writes text only when it differs, so a refresh does not move the cursor of a field the
// user is typing in.
void SetTextIfChanged(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) edit->setText(text);
}

}  // namespace

CTavrinDlg::CTavrinDlg(QWidget* parent) : QDialog(parent), m_posTicker(m_states.end()) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    m_str7zCommand =
        QString::fromStdString(package_import::Make7zCommand(platform::ProgramFolder()));
    if (common::CLangModule* module = ui::CurrentLangModule()) {
        m_hIcon = module->Icon(128);
        ui::CControlLoader loader;
        m_pTemplate = module->LoadDialogTemplate(102, this, &loader);
    }
    if (m_pTemplate) {
        m_pTemplate->move(0, 0);
        setWindowTitle(m_pTemplate->windowTitle());
        // The template's size is the default and the smallest: every control keeps its place.
        m_templateSize = m_pTemplate->size();
        setMinimumSize(m_templateSize);
        resize(m_templateSize);
        RecordTemplateLayout();
    } else {
        std::fprintf(stderr, "dialog template 102 missing from the language module\n");
    }

    // A control the template lacks is reported here, once, and stands in hidden.
    auto find = [this](auto*& member, int id) {
        using T = std::remove_pointer_t<std::remove_reference_t<decltype(member)>>;
        member = common::TemplateControl<T>(*this, m_pTemplate, 102, id);
    };
    find(m_editPackagePath, 1000);
    find(m_btnOpen, 1001);
    find(m_pNameField, 1002);
    find(m_pStartDateField, 1003);
    find(m_pEndDateField, 1004);
    find(m_comboPackage, 1006);
    find(m_btnFirst, 1008);
    find(m_btnPrev, 1009);
    find(m_btnNext, 1010);
    find(m_editPage, 1013);
    find(m_btnGoto, 1014);
    find(m_comboStartHour, 1015);
    find(m_comboStartMinute, 1016);
    find(m_comboStartSecond, 1017);
    find(m_comboEndHour, 1018);
    find(m_comboEndMinute, 1019);
    find(m_comboEndSecond, 1020);
    find(m_editLoginAddr, 1021);
    find(m_editRemoteAddr, 1022);
    find(m_editLoginName, 1023);
    find(m_comboAudit, 1025);
    find(m_editRemoteName, 1026);
    find(m_editStatus, 1027);
    find(m_btnSearch, 1028);
    find(m_staticTotal, 1029);
    find(m_staticPages, 1030);
    find(m_dateStart, 1032);
    find(m_dateEnd, 1033);
    find(m_editSpare, 1034);
    find(m_pDeleteButton, 1035);
    find(m_comboCodePage, 1038);

    // Buttons never act as default buttons: Enter is not a command in this dialog.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    // Routing of commands to their handlers.
    auto route = [this](QPushButton* button, void (CTavrinDlg::*handler)()) {
        connect(button, &QPushButton::clicked, this, handler);
    };
    route(m_btnOpen, &CTavrinDlg::OnOpenPackage);
    route(m_btnFirst, &CTavrinDlg::OnFirstPage);
    route(m_btnPrev, &CTavrinDlg::OnPrevPage);
    route(m_btnNext, &CTavrinDlg::OnNextPage);
    route(m_btnGoto, &CTavrinDlg::OnGotoPage);
    connect(m_comboCodePage, &QComboBox::activated, this, &CTavrinDlg::OnCodePageChange);
    route(m_btnSearch, &CTavrinDlg::OnSearch);
    route(m_pDeleteButton, &CTavrinDlg::OnDeletePackage);

    m_pKeys = new common::CWindowKeys(*this, [this](QWidget* target, const QKeyEvent& key) {
        return HandleKey(target, key) || IsSwallowedKey(&key);
    });
    OnInitDialog();
    // Export, fingerprints and dropped packages.
    m_pAuditorExtras = new ui::CAuditorExtras(*this, m_browser, *m_list, *m_btnOpen);
    connect(m_pAuditorExtras, &ui::CAuditorExtras::importRequested, this,
            &CTavrinDlg::ImportPackageFile);
    AttachFindWindow();
    RestoreWindowSize();
}

CTavrinDlg::~CTavrinDlg() {
    m_pKeys->Detach();
    StopTimeThread();
}

bool CTavrinDlg::OnInitDialog() {
    // The window icon serves as the big, the small and the drag icon.
    setWindowIcon(m_hIcon);

    m_list = new CListCtrlEx(this);
    m_list->setObjectName(QStringLiteral("10000"));
    m_list->setGeometry(ListRect());
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->show();
    m_list->SetCharLayout();
    m_list->SetPackageSource([this] {
        ui::SListPackage package;
        package.strName = m_strPackageName.toStdString();
        package.pChildDb = m_pChildDb;
        for (const stateData& state : m_states) {
            if (state.strName == m_strPackageName) {
                package.bReady = state.bDone;
                break;
            }
        }
        return package;
    });

    m_comboAudit->insertItem(0, ui::ResString(155));
    m_comboAudit->insertItem(1, ui::ResString(156));
    m_comboAudit->insertItem(2, ui::ResString(158));
    m_comboAudit->insertItem(3, ui::ResString(157));
    m_comboAudit->setCurrentIndex(3);

    UpdateData(false);

    connect(m_comboAudit, &CAuditComboBox::viewChosen, this, &CTavrinDlg::OnAuditTypeChange);
    connect(m_comboPackage, &CPackageComboBox::packageChosen, this, &CTavrinDlg::OpenPackage);

    m_hTimeThread = std::make_unique<ui::CTimeThread>(this);
    m_dwTimeThreadId = m_hTimeThread->Id();

    auto fillNumbers = [](QComboBox* combo, int nCount) {
        for (int i = 0; i < nCount; ++i)
            combo->addItem(QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')));
        combo->setCurrentIndex(0);
    };
    fillNumbers(m_comboStartHour, 24);
    fillNumbers(m_comboEndHour, 24);
    for (QComboBox* combo :
         {m_comboStartMinute, m_comboStartSecond, m_comboEndMinute, m_comboEndSecond})
        fillNumbers(combo, 60);

    for (QDateEdit* picker : {m_dateStart, m_dateEnd}) {
        picker->setDisplayFormat(QStringLiteral("yyyy'- 'MM'- 'dd"));
        picker->setDate(QDate::currentDate());  // as a platform date picker starts
    }

    m_editLoginAddr->setMaxLength(15);
    m_editRemoteAddr->setMaxLength(15);
    m_editLoginName->setMaxLength(128);
    m_editRemoteName->setMaxLength(128);

    m_btnSearch->setEnabled(false);

    m_pParentDb = nullptr;
    m_pChildDb = nullptr;

    m_comboCodePage->addItem(QStringLiteral("GBK"));
    m_comboCodePage->addItem(QStringLiteral("UTF_8"));
    int nCode = platform::ReadProfileInt(kCodeIni, "code", "code", 0);
    // A value the combo does not hold shows the default rather than an empty choice.
    if (nCode < 0 || nCode >= m_comboCodePage->count()) nCode = 0;
    m_comboCodePage->setCurrentIndex(nCode);
    return true;
}

bool CTavrinDlg::UpdateData(bool bSaveAndValidate) {
    auto exchange = [&](QLineEdit* edit, QString& value) {
        if (bSaveAndValidate)
            value = edit->text();
        else
            SetTextIfChanged(edit, value);
    };
    exchange(m_editPackagePath, m_strPackagePath);  // 1000
    exchange(m_pNameField, m_strPackageName);       // 1002
    exchange(m_pStartDateField, m_strStartDate);    // 1003
    exchange(m_pEndDateField, m_strEndDate);        // 1004
    exchange(m_editStatus, m_strStatus);            // 1027
    exchange(m_editLoginAddr, m_strLoginAddr);      // 1021
    exchange(m_editRemoteAddr, m_strRemoteAddr);    // 1022
    exchange(m_editLoginName, m_strLoginName);      // 1023
    exchange(m_editRemoteName, m_strRemoteName);    // 1026
    return true;
}

void CTavrinDlg::OnCodePageChange(int nIndex) {
    if (nIndex == 0)
        platform::WriteProfileString(kCodeIni, "code", "code", "0");
    else if (nIndex == 1)
        platform::WriteProfileString(kCodeIni, "code", "code", "1");
}

bool CTavrinDlg::SetDateRange() {
    const std::optional<workspace::CalendarDate> start =
        workspace::ParseDateField(m_strStartDate.toStdString());
    const std::optional<workspace::CalendarDate> end =
        workspace::ParseDateField(m_strEndDate.toStdString());
    if (!start || !end) {
        common::ShowMessage(ui::ResString(ui::kStrInvalidDateRange));
        return false;
    }
    m_dateStart->setDate(QDate(start->nYear, start->nMonth, start->nDay));
    m_dateEnd->setDate(QDate(end->nYear, end->nMonth, end->nDay));
    m_comboEndHour->setCurrentIndex(23);
    m_comboEndMinute->setCurrentIndex(59);
    m_comboEndSecond->setCurrentIndex(59);
    return true;
}

void CTavrinDlg::StopTimeThread() {
    if (m_hTimeThread) {
        m_hTimeThread->Stop();
        m_hTimeThread.reset();
    }
}

QRect CTavrinDlg::ListRect() const {
    // The result list fills the middle of the window, between the filters and the paging row.
    return rect().adjusted(30, 230, -30, -70);
}

void CTavrinDlg::RecordTemplateLayout() {
    const int nBottomRows = m_templateSize.height() - 70;  // the paging row and the status line
    for (QWidget* child : m_pTemplate->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->geometry().top() >= nBottomRows)
            m_bottomControls.push_back({child, child->geometry()});
    }
}

void CTavrinDlg::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    LayOutControls();
}

void CTavrinDlg::LayOutControls() {
    if (!m_pTemplate) return;
    // The paging row and the status line stay below the list; the status line and the list
    // take the width the window has.
    m_pTemplate->resize(size().expandedTo(m_templateSize));
    const int dx = std::max(0, width() - m_templateSize.width());
    const int dy = std::max(0, height() - m_templateSize.height());
    for (const SPlacedControl& placed : m_bottomControls) {
        if (!placed.pWidget) continue;
        QRect rect = placed.rect.translated(0, dy);
        if (placed.pWidget == m_editStatus) rect.setWidth(rect.width() + dx);
        placed.pWidget->setGeometry(rect);
    }
    if (m_list) m_list->setGeometry(ListRect());  // not before OnInitDialog has made it
}

void CTavrinDlg::RestoreWindowSize() {
    QSize size = m_pAuditorExtras->LastFolder().WindowSize();
    if (!size.isValid()) return;
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size.expandedTo(minimumSize()));
    LayOutControls();  // a hidden window gets its resize event only when shown
    m_restoredSize = this->size();
}

void CTavrinDlg::RememberWindowSize() {
    const QSize size = isMaximized() || isFullScreen() ? normalGeometry().size() : this->size();
    // Only a size the user chose is written; an untouched window leaves the settings alone.
    if (!size.isValid() || size == m_restoredSize ||
        (!m_restoredSize.isValid() && size == m_templateSize))
        return;
    m_pAuditorExtras->LastFolder().RememberWindowSize(size);
}

void CTavrinDlg::EndDialogDefault() {
    RememberWindowSize();
    m_bEnding = true;
    QDialog::done(QDialog::Rejected);
}

void CTavrinDlg::OnLoadFinished(const QString& strName) {
    for (stateData& state : m_states) {
        if (state.strName == strName) {
            state.bDone = --state.nLoadsRunning <= 0;
            break;
        }
    }
}

void CTavrinDlg::OnTick() {
    if (m_states.empty()) return;
    if (m_posTicker == m_states.end()) m_posTicker = m_states.begin();
    const stateData& state = *m_posTicker;
    ++m_posTicker;
    // A load that failed never reads as loaded.
    const int nText = state.bIncomplete ? ui::kStrLoadIncomplete : state.bDone ? 151 : 150;
    m_strStatus = state.strName + QLatin1Char(' ') + ui::ResString(nText);
    // After the load, how far the package's text index is.
    const session_index::IndexTickerState index = m_indexes.State(state.strName.toStdString());
    if (const int nIndexText = session_index::IndexTickerStringId(index);
        state.bDone && nIndexText != 0) {
        m_strStatus += nIndexText == session_index::kStrIndexBuilding
                           ? ui::ResString(nIndexText).arg(index.nPercent)
                           : ui::ResString(nIndexText);
    }
    // The filter strings follow what the user typed. Only the status line is written: the
    // other fields show what the user typed or what the last operation wrote, and a tick
    // must neither undo the one nor bring back what the other cleared.
    m_strLoginAddr = m_editLoginAddr->text();
    m_strRemoteAddr = m_editRemoteAddr->text();
    m_strLoginName = m_editLoginName->text();
    m_strRemoteName = m_editRemoteName->text();
    SetTextIfChanged(m_editStatus, m_strStatus);
    if (m_posTicker == m_states.end()) m_posTicker = m_states.begin();
}

bool CTavrinDlg::event(QEvent* e) {
    if (e->type() == ui::CTickEvent::TypeId()) {
        ui::AcceptDialogEvent();
        OnTick();
        return true;
    }
    if (e->type() == ui::CLoadFinishedEvent::TypeId()) {
        ui::AcceptDialogEvent();
        OnLoadFinished(static_cast<ui::CLoadFinishedEvent*>(e)->Name());
        return true;
    }
    return QDialog::event(e);
}

void CTavrinDlg::ShowPackageFingerprint() {
    if (m_pAuditorExtras) m_pAuditorExtras->ShowFingerprint(m_strPackageName);
}

void CTavrinDlg::ImportPackagesWhenShown(const QStringList& paths) {
    m_pAuditorExtras->ImportInTurnWhenShown(paths);
}

void CTavrinDlg::keyPressEvent(QKeyEvent* e) {
    if (IsSwallowedKey(e)) return;
    QDialog::keyPressEvent(e);
}

void CTavrinDlg::paintEvent(QPaintEvent* e) {
    if (isMinimized()) {
        QPainter painter(this);
        painter.eraseRect(rect());
        const QSize size(32, 32);
        const QPoint at((width() - size.width() + 1) / 2, (height() - size.height() + 1) / 2);
        m_hIcon.paint(&painter, QRect(at, size));
        return;
    }
    QDialog::paintEvent(e);
}

void CTavrinDlg::closeEvent(QCloseEvent* e) {
    if (m_bEnding) {
        e->accept();
        return;
    }
    // The close handler decides; it ends the dialog through EndDialogDefault().
    e->ignore();
    OnClose();
}

void CTavrinDlg::reject() {
    // Escape and the like never end the dialog; only the close handler does.
}
