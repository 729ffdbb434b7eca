#include "tavrin/ui/audit_combo_box.h"

CAuditComboBox::CAuditComboBox(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::activated, this, &CAuditComboBox::OnSelChange);
}

void CAuditComboBox::OnSelChange(int nIndex) {
    if (nIndex < 0 || nIndex > kJoinedViewIndex) nIndex = kCharViewIndex;
    emit viewChosen(nIndex);
}
