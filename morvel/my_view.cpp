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

void CMyView::paintEvent(QPaintEvent* /*event*/) {
    if (!m_pOwnerDlg) return;
    QPainter painter(viewport());
    painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    painter.setFont(TextFont());
    painter.setPen(palette().color(QPalette::Text));
    const int ascent = painter.fontMetrics().ascent();
    int i = 0;
    for (const std::string& line : m_pOwnerDlg->m_pageLines) {
        // Lines are the package's bytes in the ANSI code page; bytes that do not convert show
        // as replacement characters rather than vanishing.
        const QString text = QString::fromStdU16String(platform::AnsiToUtf16(line));
        const QPoint origin = LineOrigin(i++);
        painter.drawText(QPoint(origin.x(), origin.y() + ascent), text);
    }
}
