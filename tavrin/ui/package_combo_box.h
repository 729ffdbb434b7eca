// CPackageComboBox: the selector of imported packages (control 1006 of dialog template 102).
// The template names its class "CPackageComboBox"; CControlLoader (tavrin/ui/control_loader.h)
// creates it when the dialog builds the template. A package chosen by the user is announced
// with packageChosen, which the dialog handles. User-interface thread only.
#pragma once

#include <QComboBox>

class CPackageComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit CPackageComboBox(QWidget* parent = nullptr);

    // Handler of a selection change made by the user (connected to activated): emits
    // packageChosen with the entry's text; an index outside the list does nothing.
    void OnSelChange(int nIndex);

  signals:
    void packageChosen(const QString& strName);
};
