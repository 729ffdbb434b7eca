#include "tavrin/ui/session_table_model.h"

namespace ui {

CSessionTableModel::CSessionTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void CSessionTableModel::SetLayout(int nLayout, const QStringList& headers) {
    beginResetModel();
    m_nLayout = nLayout;
    m_headers = headers.mid(0, kMaxColumns);
    m_rows.clear();
    m_drpData.clear();
    m_stringData.clear();
    endResetModel();
}

void CSessionTableModel::Clear() {
    if (m_rows.empty() && m_drpData.empty() && m_stringData.empty()) return;
    beginResetModel();
    m_rows.clear();
    m_drpData.clear();
    m_stringData.clear();
    endResetModel();
}

void CSessionTableModel::AppendRow(Row row) {
    const int nRow = static_cast<int>(m_rows.size());
    row.cells[0] = QString::number(nRow);
    beginInsertRows(QModelIndex(), nRow, nRow);
    m_rows.push_back(std::move(row));
    endInsertRows();
}

void CSessionTableModel::AppendCharRow(const Cells& cells, int nLines, StringData record) {
    m_stringData.push_back(std::move(record));
    AppendRow(Row{cells, nLines});
}

void CSessionTableModel::AppendGraphicRow(const Cells& cells, drpData record) {
    m_drpData.push_back(std::move(record));
    AppendRow(Row{cells, 0});
}

QString CSessionTableModel::CellText(int nRow, int nColumn) const {
    if (nRow < 0 || nRow >= rowCount() || nColumn < 0 || nColumn >= columnCount()) return {};
    return m_rows[static_cast<size_t>(nRow)].cells[static_cast<size_t>(nColumn)];
}

QString CSessionTableModel::HeaderText(int nColumn) const {
    return nColumn >= 0 && nColumn < m_headers.size() ? m_headers[nColumn] : QString();
}

int CSessionTableModel::LineCount(int nRow) const {
    if (m_nLayout != 2 || nRow < 0 || nRow >= rowCount()) return 0;
    return m_rows[static_cast<size_t>(nRow)].nLines;
}

int CSessionTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CSessionTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant CSessionTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const QString text = CellText(index.row(), index.column());
    switch (role) {
        case Qt::DisplayRole:
            return text;
        case Qt::ToolTipRole:
            // The full text, for values the column cuts; an empty cell has no tooltip.
            return text.isEmpty() ? QVariant() : QVariant(text);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant CSessionTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) return HeaderText(section);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags CSessionTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace ui
