#include "tavrin/audit_combo_box.h"

#include "tavrin/list_ctrl_ex.h"
#include "tavrin/tavrin_dlg.h"

CAuditComboBox::CAuditComboBox(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::activated, this, &CAuditComboBox::OnSelChange);
}

void CAuditComboBox::OnSelChange(int nIndex) {
    if (!m_pDlg || !m_pList) return;
    const DbHandle* parent = m_pDlg->m_pParentDb;
    const DbHandle* child = m_pDlg->m_pChildDb;
    if (!parent || !parent->db || !child || !child->db) return;  // no package loaded yet

    if (nIndex < 0 || nIndex > kJoinedViewIndex) nIndex = kCharViewIndex;
    static const char* const kTables[] = {"unix_xapp_log", "unix_vsms_log", "unix_xfer_log",
                                          "unix_sms_log"};
    switch (nIndex) {
        case 0:
        case 1:
            m_pList->m_nKind = nIndex;
            m_pList->SetGraphicLayout();
            break;
        case 2:
        case 3:
            m_pList->SetCharLayout();
            break;
        default:
            m_pList->SetGraphicLayout();
            break;
    }
    m_pDlg->RebuildFilter();
    if (nIndex == kJoinedViewIndex)
        m_pDlg->QueryJoined();
    else
        m_pDlg->QueryTable(kTables[nIndex]);
}

void CAuditComboBox::SelectCharView() {
    setCurrentIndex(kCharViewIndex);  // setCurrentIndex does not raise activated
    if (m_pList) m_pList->SetCharLayout();
    if (!m_pDlg) return;
    m_pDlg->m_strWhere.clear();
    m_pDlg->QueryTable("unix_sms_log");
}
