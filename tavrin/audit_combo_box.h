// CAuditComboBox: the audit-type selector (control 1025 of dialog template 102). The
// template names its class "CAuditComboBox"; CControlLoader (tavrin/control_loader.h) creates
// it when the dialog builds the template. User-interface thread only.
//
// Entries by index: 0 unix_xapp_log, 1 unix_vsms_log, 2 unix_xfer_log, 3 unix_sms_log (the
// default), 4 the joined view (present only after a package with vsms_xapp_tab data).
#pragma once

#include <QComboBox>

class CListCtrlEx;
class CTavrinDlg;

class CAuditComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit CAuditComboBox(QWidget* parent = nullptr);

    static constexpr int kCharViewIndex = 3;
    static constexpr int kJoinedViewIndex = 4;

    // Handler of a selection change made by the user (connected to activated, so a selection
    // set by program does not run it). Does nothing before a package is open. Otherwise sets
    // the list's layout (and m_nKind for entries 0 and 1), rebuilds the filter clause for the
    // new view from the filter controls (an invalid address shows message 145 and the view
    // still loads with the shortened clause) and loads the view's first page. An index above
    // 4 counts as 3.
    void OnSelChange(int nIndex);

    // The selection made by the import and the package switch: index 3 without a
    // notification, the character layout, an empty filter clause and the first page of
    // unix_sms_log.
    void SelectCharView();

    CListCtrlEx* m_pList = nullptr;  // the result list, set by the dialog's initialisation
    CTavrinDlg* m_pDlg = nullptr;    // the owning dialog, set by the dialog's initialisation
};
