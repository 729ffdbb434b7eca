// CTavrinDlg: Tavrin's main and only window. It holds the whole state of a run: the imported
// packages and the open one, the browser's query and page, the filter fields, the status
// ticker and the child controls.
//
// The controls come from dialog template 102 of the current language module
// (tavrin/ui/res_string.h), built with CControlLoader so that 1006 and 1025 are the program's
// own combo classes; each is found by its numeric object name ("1000" ... "1038"). The result
// list 10000 is created at run time. The constructor builds everything and runs the
// initialisation (OnInitDialog), so a constructed dialog is ready; the application then runs
// it modally with exec().
//
// Member definitions are spread over several files, one per concern:
//   tavrin_dlg.cpp         construction, initialisation, data exchange, keyboard filtering,
//                          painting, text-encoding choice, SetDateRange, ticker, routing
//   tavrin_dlg_browse.cpp  paging, search and first pages, on the browser model
//   tavrin_dlg_import.cpp  import, package switch, package deletion
//   tavrin_dlg_close.cpp   the close handler
//   dialog_keys.cpp        the keys beyond the buttons (HandleKey)
// Everything here runs on the user-interface thread only.
#pragma once

#include <list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include "common/db_handle.h"
#include "tavrin/browser/browser_model.h"
#include "tavrin/find/session_index_runner.h"
#include "tavrin/ui/background_load.h"
#include "tavrin/ui/package_records.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class CAuditComboBox;
class CListCtrlEx;
class CPackageComboBox;
namespace common {
class CWindowKeys;
}  // namespace common
namespace package_import {
class CImportProgress;
}  // namespace package_import
namespace ui {
class CAuditorExtras;
class CFindSessionsDlg;
class CTimeThread;
}  // namespace ui

class CTavrinDlg : public QDialog {
    Q_OBJECT
  public:
    // Builds template 102 from the current language module and initialises the dialog
    // (OnInitDialog). A control the template lacks is reported on standard error and stands
    // in hidden (common/qt/template_control.h), so every control member is set. parent is
    // normally null (a top-level window).
    explicit CTavrinDlg(QWidget* parent = nullptr);
    ~CTavrinDlg() override;  // stops and joins the ticker if still running

    // --- Handlers of the routing table (the files named above define them) ---------------
    void OnOpenPackage();                         // button 1001: import a package
    void OnFirstPage();                           // button 1008
    void OnPrevPage();                            // button 1009
    void OnNextPage();                            // button 1010
    void OnGotoPage();                            // button 1014
    void OnCodePageChange(int nIndex);            // selection change of 1038
    void OnClose();                               // the close message (window close box, ...)
    void OnLoadFinished(const QString& strName);  // a background loader ended (CLoadFinishedEvent)
    void OnTick();                                // the ticker's once-a-second CTickEvent
    void OnSearch();                              // button 1028
    // The audit type chosen by the user in 1025: layout, filter clause for the new view (an
    // invalid address shows message 145 and the view still loads with the shortened clause)
    // and its first page. Does nothing before a package is open.
    void OnAuditTypeChange(browser::AuditView view);
    void OnDeletePackage();  // button 1035

    // --- Operations used by the other components -----------------------------------------
    // Sets pickers 1032/1033 from m_strStartDate/m_strEndDate and the end time to 23:59:59.
    // Returns false, changing nothing and telling the user, when a date is invalid; the
    // caller then abandons its operation (and re-enables what it disabled).
    bool SetDateRange();
    // Data exchange: true copies the controls' texts into the bound strings, false writes
    // every bound string to its control. Returns true: every bound control exists.
    bool UpdateData(bool bSaveAndValidate = true);
    // Stops and joins the ticker thread; afterwards no tick arrives and m_hTimeThread is
    // null. Safe to call more than once. Used by the close handler.
    void StopTimeThread();
    // Ends the modal run: the platform's default close handling, for the close handler's
    // last step (does not run OnClose again).
    void EndDialogDefault();

    // Import (tavrin_dlg_import.cpp).
    // Makes the named package, if imported in this run, the open one, and returns true.
    // Returns false, changing nothing, when no package of that name was imported or its
    // name has no valid date range (message 163).
    bool OpenPackage(const QString& strName);
    // Imports the package file at path as button 1001 does after the file was chosen; used
    // for the package given on the command line, once the event loop runs.
    void ImportPackageFile(const QString& path);

    // Browser (tavrin_dlg_browse.cpp). The browser model holds the view, the filter clause
    // and the page; the window shows what its operations return.
    const browser::CBrowserModel& Browser() const { return m_browser; }
    // Makes the open package (m_pParentDb, m_strPackageName and the package flags) the
    // browser's and shows the first page of unix_sms_log in the character view, unfiltered.
    void BrowseOpenPackage();
    // Shows what a browser operation returned: its message first, then, unless it was
    // refused, the list, the labels, the paging buttons, the selector and the page field.
    void ShowBrowserUpdate(const browser::BrowserUpdate& update);
    void DisablePaging();  // empties the list, disables 1009, 1010, 1014
    // Empties the four filter texts, in the fields as well.
    void ClearFilters();
    // No package open: empty list, no counts, paging disabled, no name or dates, no entry
    // chosen in 1006.
    void ShowNoPackage();

    // Queues the imports of paths (made absolute) to run in turn once the event loop runs:
    // the packages named on Tavrin's command line.
    void ImportPackagesWhenShown(const QStringList& paths);

  protected:
    // Runs the initialisation steps; called once by the constructor.
    bool OnInitDialog();
    bool event(QEvent* e) override;  // routes the posted notifications
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void closeEvent(QCloseEvent* e) override;    // runs OnClose
    void resizeEvent(QResizeEvent* e) override;  // the list and the bottom rows follow
    void reject() override;                      // Escape never ends the dialog

  private:
    // Paging keys, Enter in the page field and on a row, Ctrl+F, Ctrl+Shift+F and F5
    // (dialog_keys.cpp): true when key was taken.
    bool HandleKey(QWidget* target, const QKeyEvent& key);
    // Runs HandleKey, then swallows every other Enter and Escape; owned by the dialog.
    common::CWindowKeys* m_pKeys = nullptr;
    // The tooltip of 1002 for the package the window names.
    void ShowPackageFingerprint();

    QWidget* m_pTemplate = nullptr;  // the top widget built from template 102
    browser::CBrowserModel m_browser;
    // The filter values of the fields: dates and times of the pickers, the four texts.
    browser::FilterValues FilterFields();
    // Controls without a member of their own in the data model; kept for data exchange and
    // routing.
    QLineEdit* m_pNameField = nullptr;       // 1002
    QLineEdit* m_pStartDateField = nullptr;  // 1003
    QLineEdit* m_pEndDateField = nullptr;    // 1004
    QPushButton* m_pDeleteButton = nullptr;  // 1035
    bool m_bEnding = false;  // set by EndDialogDefault, so the final close is not refused

    // Layout: the template's size is the window's default and smallest size; the controls
    // below the list move down with the window's bottom edge.
    struct SPlacedControl {
        QPointer<QWidget> pWidget;
        QRect rect;  // its place in the template
    };
    QRect ListRect() const;
    void RecordTemplateLayout();
    void LayOutControls();      // the list and the bottom rows for the window's size
    void RestoreWindowSize();   // the size remembered with the last folder, if any
    void RememberWindowSize();  // at the end of the run, when the user changed it
    QSize m_templateSize;
    QSize m_restoredSize;
    std::vector<SPlacedControl> m_bottomControls;

    // ===== members added by other components ================================================
    // (other components add their declarations below, with small targeted edits)
  public:
    // From now on, SIGTERM, SIGINT and SIGHUP close this dialog as its close box does (a
    // nested modal window is closed first), and a statement on package data stops after a
    // second on this thread, which the user is told. Call before the modal run; once is
    // enough (later calls do nothing). Defined in tavrin_dlg_close.cpp.
    void WatchTermination();
    // True once the close handling has started; nothing new may start then.
    bool IsClosing() const;
    // True once the close handling has started or waits for the running import to give up.
    bool ClosePending() const;
    // Runs the close that arrived while an import ran, if one did.
    void RunDeferredClose();

  private:
    // Tests reach the state below through this one class (tavrin/testing).
    friend class CTavrinDlgTestAccess;
    // The import's steps (tavrin_dlg_import.cpp), nested so they share the dialog's state.
    struct SImportSteps;

    // --- Data members, in the order of the data model ----------------------------------------
    QIcon m_hIcon;                           // icon 128 of the language module
    QString m_strPackagePath;                // bound to 1000
    QLineEdit* m_editPackagePath = nullptr;  // 1000
    QString m_strPackageName;                // bound to 1002
    QString m_strStartDate;                  // bound to 1003
    QString m_strEndDate;                    // bound to 1004
    DbHandle* m_pParentDb = nullptr;         // open package's Parent.db (owned by its MyStruct)
    DbHandle* m_pChildDb = nullptr;          // open package's child.db (owned by its MyStruct)
    QString m_str7zCommand;                  // the archiver's path
    std::list<MyStruct> m_packages;          // packages imported in this run, import order
    std::list<stateData> m_states;           // ticker entries, import order; removed only when the
                                             // import that added it is abandoned
    // Next ticker entry to show; m_states.end() stands for "none" (before the first import).
    // std::list keeps it valid while entries are appended.
    std::list<stateData>::iterator m_posTicker;
    QString m_strWorkerSql;                          // SQL file given to the background loader
    std::thread::id m_dwTimeThreadId;                // the ticker thread's identifier
    std::unique_ptr<ui::CTimeThread> m_hTimeThread;  // the ticker thread; null once stopped
    // The text indexes, built one package at a time after each package's load (a loader's
    // end queues its package, so this outlives m_loads).
    session_index::CSessionIndexRunner m_indexes;
    // The background loaders, one per import, each with a parameter block of its own, so
    // a second import never overwrites a block a running loader still reads; each is stopped
    // and joined before its connection closes.
    ui::CBackgroundLoads m_loads;
    CPackageComboBox* m_comboPackage = nullptr;  // 1006
    CListCtrlEx* m_list = nullptr;               // 10000, created at run time
    CAuditComboBox* m_comboAudit = nullptr;      // 1025
    QLabel* m_staticTotal = nullptr;             // 1029
    QLabel* m_staticPages = nullptr;             // 1030
    QLineEdit* m_editPage = nullptr;             // 1013
    QPushButton* m_btnFirst = nullptr;           // 1008
    QPushButton* m_btnPrev = nullptr;            // 1009
    QPushButton* m_btnNext = nullptr;            // 1010
    QPushButton* m_btnGoto = nullptr;            // 1014
    QString m_strStatus;                         // bound to 1027
    QPushButton* m_btnOpen = nullptr;            // 1001
    QDateEdit* m_dateStart = nullptr;            // 1032
    QDateEdit* m_dateEnd = nullptr;              // 1033
    QComboBox* m_comboStartHour = nullptr;       // 1015
    QComboBox* m_comboStartMinute = nullptr;     // 1016
    QComboBox* m_comboStartSecond = nullptr;     // 1017
    QComboBox* m_comboEndHour = nullptr;         // 1018
    QComboBox* m_comboEndMinute = nullptr;       // 1019
    QComboBox* m_comboEndSecond = nullptr;       // 1020
    QString m_strLoginAddr;                      // bound to 1021
    QString m_strRemoteAddr;                     // bound to 1022
    QString m_strLoginName;                      // bound to 1023
    QString m_strRemoteName;                     // bound to 1026
    QLineEdit* m_editStatus = nullptr;           // 1027
    QLineEdit* m_editLoginAddr = nullptr;        // 1021
    QLineEdit* m_editRemoteAddr = nullptr;       // 1022
    QLineEdit* m_editLoginName = nullptr;        // 1023
    QLineEdit* m_editRemoteName = nullptr;       // 1026
    QPushButton* m_btnSearch = nullptr;          // 1028
    QComboBox* m_comboCodePage = nullptr;        // 1038
    QLineEdit* m_editSpare = nullptr;            // 1034

    // Auditing aids (tavrin/ui/dialog_aids.h): export, fingerprints, dropped packages. A child
    // object of the dialog, made by the constructor.
    ui::CAuditorExtras* m_pAuditorExtras = nullptr;
    // Import off the user-interface thread (tavrin/ui/import_progress_dialog.h): the running
    // import's progress, null when none runs. A close requested meanwhile cancels it and runs
    // once the import has ended (RunDeferredClose).
    package_import::CImportProgress* m_pRunningImport = nullptr;
    bool m_bCloseAfterImport = false;
    // "Find in sessions…" (tavrin/ui/find_sessions_dlg.h): button 1041 and Ctrl+Shift+F open
    // it; made by AttachFindWindow (tavrin_dlg_find.cpp), a child window of the dialog.
    ui::CFindSessionsDlg* m_pFindWindow = nullptr;
    void AttachFindWindow();
};
