#include "tavrin/ui/list_ctrl_ex.h"

#include <algorithm>

#include <QHeaderView>
#include <QResizeEvent>
#include <QScrollBar>

#include "platform/paths.h"
#include "tavrin/browser/browser_model.h"
#include "tavrin/ui/res_string.h"
#include "tavrin/workspace/package_flags.h"

namespace {

// {string id, width in pixels} per column.
const int kGraphicColumns[][2] = {{129, 40},  {130, 150}, {131, 150}, {132, 150},
                                  {133, 150}, {134, 150}, {135, 150}, {136, 100},
                                  {137, 60},  {137, 72},  {137, 60}};
const int kCharColumns[][2] = {{129, 40},  {130, 150}, {131, 150}, {132, 150},
                               {133, 150}, {134, 150}, {135, 138}, {138, 72},
                               {137, 72},  {137, 60},  {137, 60}};

// Text columns never get narrower than this when the list fits its width.
constexpr int kMinTextColumn = 60;
constexpr int kFirstTextColumn = 1;
constexpr int kLastTextColumn = 6;

}  // namespace

std::string CListCtrlEx::PackageFolder(const QString& strName) const {
    return platform::JoinPath(m_strProgramFolder, strName.toStdString());
}

CListCtrlEx::CListCtrlEx(QWidget* parent)
    : QTableView(parent), m_strProgramFolder(platform::ProgramFolder()) {
    setModel(&m_model);
    setSortingEnabled(false);
    setWordWrap(false);
    // A compact row, so that a page of 15 rows fits the list without a vertical scroll bar.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setMinimumSectionSize(8);
    connect(this, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { OnDblClick(index.row(), index.column()); });
}

CListCtrlEx::~CListCtrlEx() = default;

void CListCtrlEx::SetPackageSource(std::function<ui::SListPackage()> source) {
    m_packageSource = std::move(source);
}

void CListCtrlEx::SetLayoutColumns(int nLayout, const int (*columns)[2], int nColumns) {
    m_nLastRow = -1;
    m_nLayout = nLayout;
    m_pColumns = columns;
    QStringList headers;
    for (int i = 0; i < nColumns; ++i) headers << ui::ResString(columns[i][0]);
    m_model.SetLayout(nLayout, headers);
    verticalScrollBar()->setValue(0);
    FitColumns();
    // A disabled header takes no clicks and no drags: the list is never sorted or reordered.
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setEnabled(false);
}

void CListCtrlEx::SetGraphicLayout() {
    SetLayoutColumns(1, kGraphicColumns, g_bHasMatrixTable ? 11 : 10);
}

void CListCtrlEx::SetCharLayout() {
    SetLayoutColumns(2, kCharColumns, 11);
}

int CListCtrlEx::LayoutWidth(int nColumn) const {
    if (!m_pColumns || nColumn < 0 || nColumn >= m_model.columnCount()) return 0;
    return m_pColumns[nColumn][1];
}

void CListCtrlEx::FitColumns() {
    const int nColumns = m_model.columnCount();
    if (!m_pColumns || nColumns == 0) return;
    int nTotal = 0;
    for (int i = 0; i < nColumns; ++i) nTotal += m_pColumns[i][1];
    const int nTextColumns = std::min(kLastTextColumn, nColumns - 1) - kFirstTextColumn + 1;
    // Only what is missing is taken, evenly (rounded up), from the text columns; a list wide
    // enough keeps the layout's widths.
    const int nMissing = std::max(0, nTotal - viewport()->width());
    const int nCut = nTextColumns > 0 ? (nMissing + nTextColumns - 1) / nTextColumns : 0;
    for (int i = 0; i < nColumns; ++i) {
        int nWidth = m_pColumns[i][1];
        if (i >= kFirstTextColumn && i <= kLastTextColumn && nCut > 0)
            nWidth = std::max(kMinTextColumn, nWidth - nCut);
        setColumnWidth(i, nWidth);
    }
}

void CListCtrlEx::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    FitColumns();
}

bool CListCtrlEx::viewportEvent(QEvent* e) {
    const bool bResult = QTableView::viewportEvent(e);
    if (e->type() == QEvent::Resize) FitColumns();
    return bResult;
}

void CListCtrlEx::ClearRows() {
    m_nLastRow = -1;
    m_model.Clear();
    // A new page starts at its first row, wherever the last one was scrolled to.
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
}

void CListCtrlEx::ShowPage(const browser::BrowserScreen& screen) {
    m_nKind = screen.nKind;
    if (screen.eLayout == browser::ListLayout::kChar)
        SetCharLayout();
    else
        SetLayoutColumns(1, kGraphicColumns, screen.bMatrixColumn ? 11 : 10);
    for (const browser::BrowserRow& row : screen.rows) {
        if (m_nLayout == 2)
            AddCharRow(row);
        else
            AddGraphicRow(row);
    }
}

void CListCtrlEx::AddCharRow(const browser::BrowserRow& row) {
    ui::CSessionTableModel::Cells cells;
    for (int col = 1; col < ui::CSessionTableModel::kFirstActionColumn; ++col)
        cells[col] = row.cells[col];
    cells[8] = ui::ResString(152);
    cells[9] = ui::ResString(153);
    cells[10] = ui::ResString(154);
    ++m_nLastRow;
    m_model.AppendCharRow(cells, row.nLines, row.charRecord);
}

void CListCtrlEx::AddGraphicRow(const browser::BrowserRow& row) {
    ui::CSessionTableModel::Cells cells;
    for (int col = 1; col < ui::CSessionTableModel::kFirstActionColumn; ++col)
        cells[col] = row.cells[col];
    cells[8] = ui::ResString(154);
    cells[9] = ui::ResString(152);
    if (m_model.columnCount() > 10) cells[10] = ui::ResString(160);
    ++m_nLastRow;
    m_model.AppendGraphicRow(cells, row.graphicRecord);
}
