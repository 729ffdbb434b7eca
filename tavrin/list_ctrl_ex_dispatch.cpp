#include "tavrin/list_ctrl_ex.h"

void CListCtrlEx::OnDblClick(int /*nRow*/, int /*nColumn*/) {}
