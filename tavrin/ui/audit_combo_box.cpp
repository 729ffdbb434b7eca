#include "tavrin/ui/audit_combo_box.h"

CAuditComboBox::CAuditComboBox(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::activated, this, &CAuditComboBox::OnSelChange);
}

browser::AuditView CAuditComboBox::ViewAt(int nIndex) {
    if (nIndex < IndexOf(browser::AuditView::XappLog) ||
        nIndex > IndexOf(browser::AuditView::Joined))
        return browser::AuditView::SmsLog;
    return static_cast<browser::AuditView>(nIndex);
}

void CAuditComboBox::OnSelChange(int nIndex) {
    emit viewChosen(ViewAt(nIndex));
}
