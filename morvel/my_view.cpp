#include "morvel/my_view.h"

#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

#include "morvel/morvel_dlg.h"
#include "platform/codepage.h"

CMyView::CMyView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

QFont CMyView::TextFont() {
    QFont font;
    font.setFamilies({QString::fromUtf8("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Sans Mono")});
    font.setPointSize(10);
    return font;
}

void CMyView::SetScrollSizes(QSize total) {
    m_sizeTotal = QSize(std::max(0, total.width()), std::max(0, total.height()));
    UpdateScrollBars();
    viewport()->update();
}

int CMyView::VerticalBarWidth() const {
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar()) - 1;
}

int CMyView::HorizontalBarHeight() const {
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, horizontalScrollBar()) - 1;
}

void CMyView::UpdateScrollBars() {
    const QSize client = viewport()->size();
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, m_sizeTotal.width() - client.width()));
    h->setPageStep(std::max(1, m_sizeTotal.width() / 10));
    h->setSingleStep(std::max(1, m_sizeTotal.width() / 100));
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, m_sizeTotal.height() - client.height()));
    v->setPageStep(std::max(1, m_sizeTotal.height() / 10));
    v->setSingleStep(std::max(1, m_sizeTotal.height() / 100));
}

void CMyView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

namespace {
QString AsShown(const std::string& line) {
    // Lines are the package's bytes in the ANSI code page; bytes that do not convert show as
    // replacement characters rather than vanishing.
    return QString::fromStdU16String(platform::AnsiToUtf16(line));
}
}  // namespace

QRect CMyView::MatchRect(int row) const {
    if (!m_pOwnerDlg || row < 0 || row != m_pOwnerDlg->MatchRowOnPage() ||
        static_cast<size_t>(row) >= m_pOwnerDlg->m_pageLines.size())
        return QRect();
    const morvel::ScanMatch& match = *m_pOwnerDlg->m_findMatch;
    const QString text = AsShown(m_pOwnerDlg->m_pageLines[row]);
    const QFontMetrics metrics(TextFont());
    const int column = static_cast<int>(std::min<size_t>(match.nColumn, text.size()));
    const int x = LineOrigin(row).x() + metrics.horizontalAdvance(text.left(column));
    const int width = metrics.horizontalAdvance(text.mid(column, static_cast<int>(match.nLength)));
    return QRect(x, LineOrigin(row).y(), width, metrics.height());
}

void CMyView::ShowMatch(int row) {
    const QRect rect = MatchRect(row);
    if (rect.isEmpty()) return;
    // The extent follows 7.15 pixels a byte, which a wide font can outrun: let it reach the
    // occurrence so the scroll bar can bring it in.
    if (rect.right() + 30 > m_sizeTotal.width())
        SetScrollSizes(QSize(rect.right() + 30, m_sizeTotal.height()));
    QScrollBar* h = horizontalScrollBar();
    const int client = viewport()->width();
    if (rect.left() < h->value() || rect.right() > h->value() + client)
        h->setValue(std::max(0, rect.left() - client / 3));
}

void CMyView::paintEvent(QPaintEvent* /*event*/) {
    if (!m_pOwnerDlg) return;
    QPainter painter(viewport());
    painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    painter.setFont(TextFont());
    painter.setPen(palette().color(QPalette::Text));
    const int ascent = painter.fontMetrics().ascent();
    const int matchRow = m_pOwnerDlg->MatchRowOnPage();
    int i = 0;
    for (const std::string& line : m_pOwnerDlg->m_pageLines) {
        const QString text = AsShown(line);
        const QPoint origin = LineOrigin(i);
        painter.drawText(QPoint(origin.x(), origin.y() + ascent), text);
        if (i == matchRow) {
            // The occurrence again, over the highlight, so it stands out on its page.
            const QRect rect = MatchRect(i);
            const morvel::ScanMatch& match = *m_pOwnerDlg->m_findMatch;
            painter.fillRect(rect, palette().color(QPalette::Highlight));
            painter.setPen(palette().color(QPalette::HighlightedText));
            painter.drawText(
                QPoint(rect.x(), origin.y() + ascent),
                text.mid(static_cast<int>(match.nColumn), static_cast<int>(match.nLength)));
            painter.setPen(palette().color(QPalette::Text));
        }
        ++i;
    }
}
