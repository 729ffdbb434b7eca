#include "tavrin/list_ctrl_ex.h"

CListCtrlEx::CListCtrlEx(QWidget* parent) : QTableWidget(parent) {
    connect(this, &QTableWidget::cellDoubleClicked, this, &CListCtrlEx::OnDblClick);
}

void CListCtrlEx::SetGraphicLayout() {
    m_nLayout = 1;
}

void CListCtrlEx::SetCharLayout() {
    m_nLayout = 2;
}

void CListCtrlEx::ClearRows() {}
