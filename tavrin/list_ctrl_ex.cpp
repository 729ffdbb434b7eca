#include "tavrin/list_ctrl_ex.h"

#include <QHeaderView>

#include "platform/paths.h"
#include "tavrin/package_flags.h"
#include "tavrin/res_string.h"
#include "tavrin/row_fill.h"

namespace {

// {string id, width in pixels} per column.
const int kGraphicColumns[][2] = {{129, 40},  {130, 150}, {131, 150}, {132, 150},
                                  {133, 150}, {134, 150}, {135, 150}, {136, 100},
                                  {137, 60},  {137, 72},  {137, 60}};
const int kCharColumns[][2] = {{129, 40},  {130, 150}, {131, 150}, {132, 150},
                               {133, 150}, {134, 150}, {135, 138}, {138, 72},
                               {137, 72},  {137, 60},  {137, 60}};

}  // namespace

CRowContext::CRowContext(CListCtrlEx* list, const QString& packageName)
    : pList(list), strPackageName(packageName) {
    std::string folder = list ? list->m_strProgramFolder : platform::ProgramFolder();
    strPackageFolder = platform::JoinPath(folder, packageName.toStdString());
}

CListCtrlEx::CListCtrlEx(QWidget* parent)
    : QTableWidget(parent), m_strProgramFolder(platform::ProgramFolder()) {
    setSortingEnabled(false);
    connect(this, &QTableWidget::cellDoubleClicked, this, &CListCtrlEx::OnDblClick);
}

CListCtrlEx::~CListCtrlEx() {
    m_drpData.clear();
    m_stringData.clear();
}

void CListCtrlEx::SetLayoutColumns(int nLayout, const int (*columns)[2], int nColumns) {
    ClearRows();
    setColumnCount(0);
    m_nLastRow = -1;
    m_nLayout = nLayout;
    setColumnCount(nColumns);
    for (int i = 0; i < nColumns; ++i) {
        auto* header = new QTableWidgetItem(ResString(columns[i][0]));
        header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setHorizontalHeaderItem(i, header);
        setColumnWidth(i, columns[i][1]);
    }
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

void CListCtrlEx::ClearRows() {
    m_nLastRow = -1;
    setRowCount(0);
    m_drpData.clear();
    m_stringData.clear();
}

int CListCtrlEx::AddRow() {
    ++m_nLastRow;
    insertRow(m_nLastRow);
    SetCell(m_nLastRow, 0, QString::number(m_nLastRow));
    return m_nLastRow;
}

void CListCtrlEx::SetCell(int nRow, int nColumn, const QString& text) {
    if (nColumn >= columnCount()) return;
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    setItem(nRow, nColumn, item);
}

int CListCtrlEx::FillCharRow(void* context, int argc, char** argv, char** /*names*/) {
    auto* ctx = static_cast<CRowContext*>(context);
    if (!ctx || !ctx->pList) return 0;
    CListCtrlEx* list = ctx->pList;
    browser::CharRow row = browser::BuildCharRow({ctx->strPackageFolder}, argc, argv);
    int nRow = list->AddRow();
    for (int col = 1; col <= 7; ++col) list->SetCell(nRow, col, row.cells[col]);
    list->SetCell(nRow, 8, ResString(152));
    list->SetCell(nRow, 9, ResString(153));
    list->SetCell(nRow, 10, ResString(154));
    list->m_stringData.push_back(std::move(row.record));
    return 0;
}

void CListCtrlEx::AddGraphicRow(browser::GraphicRow&& row) {
    int nRow = AddRow();
    for (int col = 1; col <= 7; ++col) SetCell(nRow, col, row.cells[col]);
    SetCell(nRow, 8, ResString(154));
    SetCell(nRow, 9, ResString(152));
    if (g_bHasMatrixTable) SetCell(nRow, 10, ResString(160));
    m_drpData.push_back(std::move(row.record));
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
