// CMyView: the viewer's scrolling text view. It draws the owner dialog's current page, one line
// every 15 pixels from (30, 35), in a 10-point "宋体" font (a CJK fallback where that face is
// not installed), and scrolls over an extent the dialog sets. The last occurrence the dialog's
// find has found is drawn in the highlight colours. User-interface thread only.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QSize>

class CMorvelDlg;

class CMyView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit CMyView(QWidget* parent = nullptr);

    // The dialog whose m_pageLines are drawn; not owned. Null draws nothing.
    CMorvelDlg* m_pOwnerDlg = nullptr;

    // Sets the scrollable extent in pixels (one logical unit per pixel). The page step is a
    // tenth of the extent and the line step a tenth of that, as a scroll view's defaults.
    void SetScrollSizes(QSize total);
    QSize ScrollSizes() const { return m_sizeTotal; }
    // Width of a vertical scroll bar and height of a horizontal one, each less the one pixel
    // the view's border takes.
    int VerticalBarWidth() const;
    int HorizontalBarHeight() const;
    // The font the lines are drawn with.
    static QFont TextFont();

    // Where line i (from 0) is drawn: its left edge and the top of its text cell.
    static QPoint LineOrigin(int i) { return QPoint(30, 35 + 15 * i); }
    // Where the owner's found occurrence lies in row `row` of the page (extent coordinates),
    // or an empty rectangle when there is none in that row.
    QRect MatchRect(int row) const;
    // Scrolls horizontally so that the found occurrence in row `row` is in sight (-1: none).
    void ShowMatch(int row);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void UpdateScrollBars();

    QSize m_sizeTotal;
};
