// CListCtrlEx: the result list of the main dialog (identifier 10000), a report view created
// at run time by the dialog (it is not part of dialog template 102). It derives from
// QTableWidget: one table row per result row, columns set by the two layouts. The list never
// sorts, so row i always belongs to record i of m_drpData (graphical layout, m_nLayout 1) or
// m_stringData (character layout, m_nLayout 2); see tavrin/session_records.h for the fields.
// User-interface thread only.
#pragma once

#include <string>
#include <vector>

#include <QString>
#include <QTableWidget>

#include "tavrin/session_records.h"

class CTavrinDlg;
namespace browser {
struct GraphicRow;
}

class CListCtrlEx : public QTableWidget {
    Q_OBJECT
  public:
    explicit CListCtrlEx(QWidget* parent = nullptr);
    ~CListCtrlEx() override;  // drops both record arrays, then the table

    // Column layouts: each empties the list first, then sets the columns (header texts from
    // strings 129 to 138 and 137 for the action columns) and leaves the header disabled, so it
    // can be neither clicked nor dragged. Graphical sets m_nLayout to 1 and has ten columns,
    // eleven when g_bHasMatrixTable is set; character sets m_nLayout to 2, always eleven.
    void SetGraphicLayout();
    void SetCharLayout();
    // Empties the list: no rows, m_nLastRow -1, the row records dropped.
    void ClearRows();

    // Row fillers: sqlite3_exec callbacks. context is a CRowContext; each appends one row
    // (column 0 holds the row's index on its page) and one record, and returns 0.
    // FillCharRow: unix_sms_log, unix_xfer_log; FillGraphicRow: unix_vsms_log,
    // unix_xapp_log; FillJoinedRow: the joined view.
    static int FillCharRow(void* context, int argc, char** argv, char** names);
    static int FillGraphicRow(void* context, int argc, char** argv, char** names);
    static int FillJoinedRow(void* context, int argc, char** argv, char** names);

    // Double-click on a cell (connected to cellDoubleClicked): starts the player for the
    // clicked row and column. Defined in list_ctrl_ex_dispatch.cpp.
    void OnDblClick(int nRow, int nColumn);

    CTavrinDlg* m_pDlg = nullptr;  // the owning dialog, set by its initialisation
    int m_nKind = 0;      // graphical session kind: 0 xapp, 1 vsms (set by the audit selector)
    int m_nLayout = 2;    // 1 graphical, 2 character
    int m_nLastRow = -1;  // index of the row added last; -1 when empty
    std::vector<drpData> m_drpData;        // one per row of the graphical layout, row order
    std::vector<StringData> m_stringData;  // one per row of the character layout, row order
    // Folder whose subfolders are the package folders: the program folder, read at
    // construction (tests may point it elsewhere).
    std::string m_strProgramFolder;

  private:
    void AddGraphicRow(browser::GraphicRow&& row);
    int AddRow();  // appends a row numbered m_nLastRow + 1; returns its index
    void SetCell(int nRow, int nColumn, const QString& text);
    void SetLayoutColumns(int nLayout, const int (*columns)[2], int nColumns);
};

// The context of one page query's row filler: the list and a copy of the package name. The
// package folder is computed once from the list's program folder and that name.
struct CRowContext {
    CRowContext(CListCtrlEx* list, const QString& packageName);
    CListCtrlEx* pList;
    QString strPackageName;
    std::string strPackageFolder;  // bytes: "{program folder}/{package name}"
};
