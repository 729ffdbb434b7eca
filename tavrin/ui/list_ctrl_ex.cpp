#include "tavrin/ui/list_ctrl_ex.h"

#include <algorithm>

#include <QHeaderView>
#include <QResizeEvent>
#include <QScrollBar>

#include "platform/paths.h"
#include "tavrin/browser/row_fill.h"
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

CRowContext::CRowContext(CListCtrlEx* list, const QString& packageName)
    : pList(list), strPackageName(packageName) {
    std::string folder = list ? list->m_strProgramFolder : platform::ProgramFolder();
    strPackageFolder = platform::JoinPath(folder, packageName.toStdString());
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

void CListCtrlEx::SetPackageSource(std::function<SListPackage()> source) {
    m_packageSource = std::move(source);
}

void CListCtrlEx::SetLayoutColumns(int nLayout, const int (*columns)[2], int nColumns) {
    m_nLastRow = -1;
    m_nLayout = nLayout;
    m_pColumns = columns;
    QStringList headers;
    for (int i = 0; i < nColumns; ++i) headers << ResString(columns[i][0]);
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

int CListCtrlEx::FillCharRow(void* context, int argc, char** argv, char** /*names*/) {
    auto* ctx = static_cast<CRowContext*>(context);
    if (!ctx || !ctx->pList) return 0;
    CListCtrlEx* list = ctx->pList;
    browser::CharRow row = browser::BuildCharRow({ctx->strPackageFolder}, argc, argv);
    CSessionTableModel::Cells cells;
    for (int col = 1; col <= 7; ++col) cells[col] = row.cells[col];
    cells[8] = ResString(152);
    cells[9] = ResString(153);
    cells[10] = ResString(154);
    ++list->m_nLastRow;
    list->m_model.AppendCharRow(cells, row.nLines, std::move(row.record));
    return 0;
}

void CListCtrlEx::AddGraphicRow(browser::GraphicRow&& row) {
    CSessionTableModel::Cells cells;
    for (int col = 1; col <= 7; ++col) cells[col] = row.cells[col];
    cells[8] = ResString(154);
    cells[9] = ResString(152);
    if (g_bHasMatrixTable) cells[10] = ResString(160);
    ++m_nLastRow;
    m_model.AppendGraphicRow(cells, std::move(row.record));
}

int CListCtrlEx::FillGraphicRow(void* context, int argc, char** argv, char** /*names*/) {
    auto* ctx = static_cast<CRowContext*>(context);
    if (ctx && ctx->pList)
        ctx->pList->AddGraphicRow(browser::BuildGraphicRow({ctx->strPackageFolder}, argc, argv));
    return 0;
}

int CListCtrlEx::FillJoinedRow(void* context, int argc, char** argv, char** /*names*/) {
    auto* ctx = static_cast<CRowContext*>(context);
    if (ctx && ctx->pList)
        ctx->pList->AddGraphicRow(browser::BuildJoinedRow({ctx->strPackageFolder}, argc, argv));
    return 0;
}
