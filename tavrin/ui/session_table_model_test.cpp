// The result list's model: what each cell, header and tooltip reads, and that the rows and
// their records stay together.
#include <gtest/gtest.h>

#include "tavrin/ui/session_table_model.h"

namespace ui {

namespace {

CSessionTableModel::Cells CellsWith(int nColumn, const QString& text) {
    CSessionTableModel::Cells cells;
    cells[nColumn] = text;
    return cells;
}

TEST(SessionTableModel, RowsAreNumberedFromZeroAndKeepTheirRecordsAndLineCounts) {
    CSessionTableModel model;
    model.SetLayout(2, {"No.", "Start", "End", "", "", "", "", "Lines"});
    for (int i = 0; i < 15; ++i) {
        StringData record;
        record.strKey = QStringLiteral("key_%1").arg(i);
        model.AppendCharRow(CellsWith(7, QString::number(i * 3)), i * 3, record);
    }
    ASSERT_EQ(model.rowCount(), 15);
    EXPECT_EQ(model.columnCount(), 8);
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(model.CellText(i, 0), QString::number(i));
        EXPECT_EQ(model.data(model.index(i, 0)).toString(), QString::number(i));
        EXPECT_EQ(model.LineCount(i), i * 3);
        EXPECT_EQ(model.CharRecords()[static_cast<size_t>(i)].strKey,
                  QStringLiteral("key_%1").arg(i));
    }
    EXPECT_EQ(model.headerData(7, Qt::Horizontal).toString(), "Lines");
    EXPECT_FALSE(model.headerData(0, Qt::Vertical).isValid());

    // Outside the table: empty, never a crash.
    EXPECT_EQ(model.CellText(15, 0), "");
    EXPECT_EQ(model.CellText(-1, 0), "");
    EXPECT_EQ(model.CellText(0, 8), "");
    EXPECT_EQ(model.LineCount(15), 0);
    EXPECT_EQ(model.HeaderText(11), "");

    // A new page numbers from 0 again.
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(model.CharRecords().empty());
    model.AppendCharRow({}, 1, StringData());
    EXPECT_EQ(model.CellText(0, 0), "0");
    EXPECT_EQ(model.columnCount(), 8);  // clearing keeps the columns
}

TEST(SessionTableModel, ACellsFullTextIsItsTooltip) {
    CSessionTableModel model;
    model.SetLayout(1, {"No.", "Name", "Action"});
    const QString longName = QString(300, QChar(0x738B)) + QStringLiteral(" admin");
    drpData record;
    record.nCode = 7;
    model.AppendGraphicRow(CellsWith(1, longName), record);
    EXPECT_EQ(model.data(model.index(0, 1), Qt::ToolTipRole).toString(), longName);
    EXPECT_EQ(model.data(model.index(0, 0), Qt::ToolTipRole).toString(), "0");
    EXPECT_FALSE(model.data(model.index(0, 2), Qt::ToolTipRole).isValid());  // empty cell
    EXPECT_EQ(model.GraphicRecords().at(0).nCode, 7);
    EXPECT_EQ(model.LineCount(0), 0);  // graphical rows have no line count
    EXPECT_TRUE(model.flags(model.index(0, 1)).testFlag(Qt::ItemIsSelectable));
    EXPECT_FALSE(model.flags(model.index(0, 1)).testFlag(Qt::ItemIsEditable));
}

TEST(SessionTableModel, ALayoutChangeDropsRowsAndRecordsOfTheOtherLayout) {
    CSessionTableModel model;
    model.SetLayout(2, {"No.", "A"});
    model.AppendCharRow({}, 4, StringData());
    model.SetLayout(1, {"No.", "B", "C"});
    EXPECT_EQ(model.Layout(), 1);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(model.CharRecords().empty());
    EXPECT_EQ(model.HeaderText(2), "C");
    QStringList many;
    for (int i = 0; i < 14; ++i) many << QString::number(i);
    model.SetLayout(2, many);
    EXPECT_EQ(model.columnCount(), CSessionTableModel::kMaxColumns);
}

}  // namespace

}  // namespace ui
