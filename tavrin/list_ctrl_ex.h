// CListCtrlEx: the result list of the main dialog (identifier 10000), a report view created
// at run time by the dialog (it is not part of dialog template 102). It derives from
// QTableWidget: one table row per result row, columns set by the two layouts.
// User-interface thread only.
#pragma once

#include <QTableWidget>

class CTavrinDlg;

class CListCtrlEx : public QTableWidget {
    Q_OBJECT
  public:
    explicit CListCtrlEx(QWidget* parent = nullptr);

    // Column layouts: each empties the list first. Graphical sets m_nLayout to 1, character
    // to 2.
    void SetGraphicLayout();
    void SetCharLayout();
    // Empties the list: no rows, m_nLastRow -1, the row records dropped.
    void ClearRows();

    // Double-click on a cell (connected to cellDoubleClicked): starts the player for the
    // clicked row and column. Defined in list_ctrl_ex_dispatch.cpp.
    void OnDblClick(int nRow, int nColumn);

    CTavrinDlg* m_pDlg = nullptr;  // the owning dialog, set by its initialisation
    int m_nKind = 0;      // graphical session kind: 0 xapp, 1 vsms (set by the audit selector)
    int m_nLayout = 2;    // 1 graphical, 2 character
    int m_nLastRow = -1;  // index of the row added last; -1 when empty
};
