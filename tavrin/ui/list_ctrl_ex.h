// CListCtrlEx: the result list of the main dialog (identifier 10000), a report view created
// at run time by the dialog (it is not part of dialog template 102). It is a view of a
// CSessionTableModel (tavrin/ui/session_table_model.h), which it owns: one model row per result
// row, columns set by the two layouts. The list never sorts, so row i always belongs to
// record i of the model. User-interface thread only.
//
// The list knows nothing of the dialog: what a double-click needs about the open package
// comes from the source set with SetPackageSource.
#pragma once

#include <functional>
#include <string>

#include <QString>
#include <QTableView>

#include "tavrin/browser/session_records.h"
#include "tavrin/ui/session_table_model.h"

struct DbHandle;
namespace browser {
struct BrowserRow;
struct BrowserScreen;
}  // namespace browser

namespace ui {

// What the double-click dispatch needs to know about the open package.
struct SListPackage {
    std::string strName;           // the package name as the file system takes it
    DbHandle* pChildDb = nullptr;  // its child.db, null when no package is open
    bool bReady = false;           // its background loads have finished
};

}  // namespace ui

class CListCtrlEx : public QTableView {
    Q_OBJECT
  public:
    explicit CListCtrlEx(QWidget* parent = nullptr);
    ~CListCtrlEx() override;

    // Column layouts: each empties the list first, then sets the columns (header texts from
    // strings 129 to 138 and 137 for the action columns) and leaves the header disabled, so it
    // can be neither clicked nor dragged. Graphical sets m_nLayout to 1 and has ten columns,
    // eleven when g_bHasMatrixTable is set; character sets m_nLayout to 2, always eleven.
    void SetGraphicLayout();
    void SetCharLayout();
    // Empties the list: no rows, m_nLastRow -1, the row records dropped.
    void ClearRows();

    // Shows the page of screen: its layout (the graphical one with the eleventh column when
    // screen.bMatrixColumn is set), its session kind and its rows (column 0 holds the row's
    // index on its page), at its first row.
    void ShowPage(const browser::BrowserScreen& screen);
    // "{m_strProgramFolder}/{name}" as bytes: where the rows of package name find their files.
    std::string PackageFolder(const QString& strName) const;

    // Double-click on a cell (connected to doubleClicked): starts the player for the
    // clicked row and column. Defined in list_ctrl_ex_dispatch.cpp.
    void OnDblClick(int nRow, int nColumn);
    // Where OnDblClick learns the open package; without a source nothing is dispatched.
    void SetPackageSource(std::function<ui::SListPackage()> source);

    ui::CSessionTableModel& Model() { return m_model; }
    const ui::CSessionTableModel& Model() const { return m_model; }
    int RowCount() const { return m_model.rowCount(); }
    int ColumnCount() const { return m_model.columnCount(); }
    QString CellText(int nRow, int nColumn) const { return m_model.CellText(nRow, nColumn); }
    QString HeaderText(int nColumn) const { return m_model.HeaderText(nColumn); }
    // The width a column of the current layout is given before the list fits it to its width.
    int LayoutWidth(int nColumn) const;

    int m_nKind = 0;      // graphical session kind: 0 xapp, 1 vsms (set by the audit selector)
    int m_nLayout = 2;    // 1 graphical, 2 character
    int m_nLastRow = -1;  // index of the row added last; -1 when empty
    // Folder whose subfolders are the package folders: the program folder, read at
    // construction (tests may point it elsewhere).
    std::string m_strProgramFolder;

  protected:
    void resizeEvent(QResizeEvent* e) override;
    bool viewportEvent(QEvent* e) override;  // refits the columns when a scroll bar comes or goes

  private:
    void AddCharRow(const browser::BrowserRow& row);
    void AddGraphicRow(const browser::BrowserRow& row);
    void SetLayoutColumns(int nLayout, const int (*columns)[2], int nColumns);
    // Narrows the text columns (1 to 6) when the layout is wider than the viewport, so that a
    // page needs no horizontal scroll bar while every column keeps a readable width.
    void FitColumns();

    ui::CSessionTableModel m_model;
    const int (*m_pColumns)[2] = nullptr;  // {string id, width} of the current layout
    std::function<ui::SListPackage()> m_packageSource;
};
