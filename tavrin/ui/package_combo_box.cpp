#include "tavrin/ui/package_combo_box.h"

CPackageComboBox::CPackageComboBox(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::activated, this, &CPackageComboBox::OnSelChange);
}

void CPackageComboBox::OnSelChange(int nIndex) {
    if (nIndex < 0 || nIndex >= count()) return;
    emit packageChosen(itemText(nIndex));
}
