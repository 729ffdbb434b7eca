// CTavrinDlgTestAccess: the tests' one way into the main dialog's state. Each member is a
// reference to the dialog member of the same name, so a test reads and writes the state as
// the dialog's own code does. Tests only; the dialog must outlive the object.
#pragma once

#include "tavrin/ui/tavrin_dlg.h"

class CTavrinDlgTestAccess {
  public:
    explicit CTavrinDlgTestAccess(CTavrinDlg& dlg)
        : m_hIcon(dlg.m_hIcon),
          m_strPackagePath(dlg.m_strPackagePath),
          m_editPackagePath(dlg.m_editPackagePath),
          m_strPackageName(dlg.m_strPackageName),
          m_strStartDate(dlg.m_strStartDate),
          m_strEndDate(dlg.m_strEndDate),
          m_pParentDb(dlg.m_pParentDb),
          m_pChildDb(dlg.m_pChildDb),
          m_str7zCommand(dlg.m_str7zCommand),
          m_packages(dlg.m_packages),
          m_states(dlg.m_states),
          m_posTicker(dlg.m_posTicker),
          m_strWorkerSql(dlg.m_strWorkerSql),
          m_dwTimeThreadId(dlg.m_dwTimeThreadId),
          m_hTimeThread(dlg.m_hTimeThread),
          m_indexes(dlg.m_indexes),
          m_loads(dlg.m_loads),
          m_comboPackage(dlg.m_comboPackage),
          m_list(dlg.m_list),
          m_comboAudit(dlg.m_comboAudit),
          m_staticTotal(dlg.m_staticTotal),
          m_staticPages(dlg.m_staticPages),
          m_editPage(dlg.m_editPage),
          m_btnFirst(dlg.m_btnFirst),
          m_btnPrev(dlg.m_btnPrev),
          m_btnNext(dlg.m_btnNext),
          m_btnGoto(dlg.m_btnGoto),
          m_strStatus(dlg.m_strStatus),
          m_btnOpen(dlg.m_btnOpen),
          m_dateStart(dlg.m_dateStart),
          m_dateEnd(dlg.m_dateEnd),
          m_comboStartHour(dlg.m_comboStartHour),
          m_comboStartMinute(dlg.m_comboStartMinute),
          m_comboStartSecond(dlg.m_comboStartSecond),
          m_comboEndHour(dlg.m_comboEndHour),
          m_comboEndMinute(dlg.m_comboEndMinute),
          m_comboEndSecond(dlg.m_comboEndSecond),
          m_strLoginAddr(dlg.m_strLoginAddr),
          m_strRemoteAddr(dlg.m_strRemoteAddr),
          m_strLoginName(dlg.m_strLoginName),
          m_strRemoteName(dlg.m_strRemoteName),
          m_editStatus(dlg.m_editStatus),
          m_editLoginAddr(dlg.m_editLoginAddr),
          m_editRemoteAddr(dlg.m_editRemoteAddr),
          m_editLoginName(dlg.m_editLoginName),
          m_editRemoteName(dlg.m_editRemoteName),
          m_btnSearch(dlg.m_btnSearch),
          m_comboCodePage(dlg.m_comboCodePage),
          m_editSpare(dlg.m_editSpare),
          m_pAuditorExtras(dlg.m_pAuditorExtras),
          m_pRunningImport(dlg.m_pRunningImport),
          m_bCloseAfterImport(dlg.m_bCloseAfterImport),
          m_pFindWindow(dlg.m_pFindWindow) {}

    QIcon& m_hIcon;
    QString& m_strPackagePath;
    QLineEdit*& m_editPackagePath;
    QString& m_strPackageName;
    QString& m_strStartDate;
    QString& m_strEndDate;
    DbHandle*& m_pParentDb;
    DbHandle*& m_pChildDb;
    QString& m_str7zCommand;
    std::list<MyStruct>& m_packages;
    std::list<stateData>& m_states;
    std::list<stateData>::iterator& m_posTicker;
    QString& m_strWorkerSql;
    std::thread::id& m_dwTimeThreadId;
    std::unique_ptr<ui::CTimeThread>& m_hTimeThread;
    session_index::CSessionIndexRunner& m_indexes;
    ui::CBackgroundLoads& m_loads;
    CPackageComboBox*& m_comboPackage;
    CListCtrlEx*& m_list;
    CAuditComboBox*& m_comboAudit;
    QLabel*& m_staticTotal;
    QLabel*& m_staticPages;
    QLineEdit*& m_editPage;
    QPushButton*& m_btnFirst;
    QPushButton*& m_btnPrev;
    QPushButton*& m_btnNext;
    QPushButton*& m_btnGoto;
    QString& m_strStatus;
    QPushButton*& m_btnOpen;
    QDateEdit*& m_dateStart;
    QDateEdit*& m_dateEnd;
    QComboBox*& m_comboStartHour;
    QComboBox*& m_comboStartMinute;
    QComboBox*& m_comboStartSecond;
    QComboBox*& m_comboEndHour;
    QComboBox*& m_comboEndMinute;
    QComboBox*& m_comboEndSecond;
    QString& m_strLoginAddr;
    QString& m_strRemoteAddr;
    QString& m_strLoginName;
    QString& m_strRemoteName;
    QLineEdit*& m_editStatus;
    QLineEdit*& m_editLoginAddr;
    QLineEdit*& m_editRemoteAddr;
    QLineEdit*& m_editLoginName;
    QLineEdit*& m_editRemoteName;
    QPushButton*& m_btnSearch;
    QComboBox*& m_comboCodePage;
    QLineEdit*& m_editSpare;
    ui::CAuditorExtras*& m_pAuditorExtras;
    package_import::CImportProgress*& m_pRunningImport;
    bool& m_bCloseAfterImport;
    ui::CFindSessionsDlg*& m_pFindWindow;
};

namespace ui::test {

// The state of dlg, as in Peek(*m_pDlg).m_list.
inline CTavrinDlgTestAccess Peek(CTavrinDlg& dlg) {
    return CTavrinDlgTestAccess(dlg);
}

}  // namespace ui::test
