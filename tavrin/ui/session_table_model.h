// CSessionTableModel: the rows of the page the result list shows, with the record of each
// row that player dispatch reads. The list (CListCtrlEx) is a view of it; the export takes
// its column headers from here. User-interface thread only.
//
// Row i has record i: CharRecords() in the character layout, GraphicRecords() in the
// graphical one (the list never sorts). Column 0 shows the row's index on its page. A cell's
// full text is also its tooltip, so values wider than their column can be read. The line
// count of a character row is kept as a number beside its cell text.
#pragma once

#include <array>
#include <vector>

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include "tavrin/browser/session_records.h"

namespace ui {

class CSessionTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kMaxColumns = 11;
    static constexpr int kLineCountColumn = 7;
    // Columns before it carry data; from it on are the action cells that start players.
    static constexpr int kFirstActionColumn = 8;
    using Cells = std::array<QString, kMaxColumns>;  // index = column; column 0 unused

    explicit CSessionTableModel(QObject* parent = nullptr);

    // Drops every row and record and sets the layout (1 graphical, 2 character) and the
    // column headers (at most kMaxColumns; more are ignored).
    void SetLayout(int nLayout, const QStringList& headers);
    int Layout() const { return m_nLayout; }

    // Drops every row and record; the columns stay.
    void Clear();

    // Appends one row of the character layout: its cells (column 0 is numbered by the model),
    // its line count and its record.
    void AppendCharRow(const Cells& cells, int nLines, StringData record);
    // Appends one row of the graphical layout.
    void AppendGraphicRow(const Cells& cells, drpData record);

    // The text of a cell, empty outside the table.
    QString CellText(int nRow, int nColumn) const;
    QString HeaderText(int nColumn) const;
    // The line count of a character row (0 outside the table or for a graphical row).
    int LineCount(int nRow) const;
    const std::vector<StringData>& CharRecords() const { return m_stringData; }
    const std::vector<drpData>& GraphicRecords() const { return m_drpData; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    struct Row {
        Cells cells;
        int nLines = 0;
    };
    void AppendRow(Row row);

    int m_nLayout = 2;
    QStringList m_headers;
    std::vector<Row> m_rows;
    std::vector<drpData> m_drpData;        // graphical layout, row order
    std::vector<StringData> m_stringData;  // character layout, row order
};

}  // namespace ui
