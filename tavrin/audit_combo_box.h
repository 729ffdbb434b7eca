// CAuditComboBox: the audit-type selector (control 1025 of dialog template 102). The
// template names its class "CAuditComboBox"; CControlLoader (tavrin/control_loader.h) creates
// it when the dialog builds the template. User-interface thread only.
#pragma once

#include <QComboBox>

class CListCtrlEx;
class CTavrinDlg;

class CAuditComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit CAuditComboBox(QWidget* parent = nullptr);

    // Handler of a selection change made by the user (connected to activated, so a selection
    // set by program does not run it).
    void OnSelChange(int nIndex);

    CListCtrlEx* m_pList = nullptr;  // the result list, set by the dialog's initialisation
    CTavrinDlg* m_pDlg = nullptr;    // the owning dialog, set by the dialog's initialisation
};
