// CPackageComboBox: the selector of imported packages (control 1006 of dialog template 102).
// The template names its class "CPackageComboBox"; CControlLoader (tavrin/control_loader.h)
// creates it when the dialog builds the template. User-interface thread only.
#pragma once

#include <QComboBox>

class CTavrinDlg;

class CPackageComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit CPackageComboBox(QWidget* parent = nullptr);

    // Handler of a selection change made by the user (connected to activated).
    void OnSelChange(int nIndex);

    CTavrinDlg* m_pDlg = nullptr;  // the owning dialog, set by the dialog's initialisation
};
