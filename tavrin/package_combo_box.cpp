#include "tavrin/package_combo_box.h"

#include "tavrin/tavrin_dlg.h"

CPackageComboBox::CPackageComboBox(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::activated, this, &CPackageComboBox::OnSelChange);
}

void CPackageComboBox::OnSelChange(int nIndex) {
    if (!m_pDlg || nIndex < 0 || nIndex >= count()) return;
    m_pDlg->OpenPackage(itemText(nIndex));
}
