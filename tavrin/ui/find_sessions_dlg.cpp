#include "tavrin/ui/find_sessions_dlg.h"

#include <QColor>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTextLayout>
#include <QVBoxLayout>

#include "common/qt/user_prompts.h"
#include "common/qt/window_keys.h"
#include "tavrin/find/find_list.h"
#include "tavrin/find/find_strings.h"
#include "tavrin/ui/find_hit_dispatch.h"
#include "tavrin/ui/find_hits_model.h"
#include "tavrin/ui/res_string.h"

namespace ui {

namespace {

// Draws the text cell with the match on the highlight colour of a selection.
class CMatchDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QVariant mark = index.data(CFindHitsModel::kMarkRole);
        if (!mark.isValid()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        opt.widget->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

        const QRect rect = opt.rect.adjusted(4, 0, -4, 0);
        QTextLayout layout(text, opt.font);
        QTextCharFormat marked;
        // A marker colour of its own, readable on a selected row as on any other.
        marked.setBackground(QColor(255, 214, 90));
        marked.setForeground(QColor(Qt::black));
        marked.setFontWeight(QFont::Bold);
        const QPoint range = mark.toPoint();
        layout.setFormats({QTextLayout::FormatRange{range.x(), range.y(), marked}});
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (line.isValid()) line.setLineWidth(1e6);
        layout.endLayout();
        painter->save();
        painter->setClipRect(rect);
        painter->setPen(opt.palette.color(
            (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
        const qreal y = rect.top() + (rect.height() - layout.boundingRect().height()) / 2;
        layout.draw(painter, QPointF(rect.left(), y));
        painter->restore();
    }
};

// Elides in the middle: file and package names differ at their ends.
class CElideMiddleDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideMiddle;
    }
};

}  // namespace

CFindSessionsDlg::CFindSessionsDlg(QWidget* owner, std::string programFolder,
                                   PackagesSource packages)
    : QDialog(owner, Qt::Window),
      m_strProgramFolder(std::move(programFolder)),
      m_packages(std::move(packages)) {
    setObjectName(QStringLiteral("findSessions"));
    setWindowTitle(ResString(session_index::kStrFindTitle)
                       .remove(QChar(0x2026))
                       .remove(QStringLiteral("...")));
    m_editText = new QLineEdit(this);
    m_comboScope = new QComboBox(this);
    m_comboScope->addItem(ResString(session_index::kStrFindScopeOpen));
    m_comboScope->addItem(ResString(session_index::kStrFindScopeAll));
    m_btnFind = new QPushButton(ResString(session_index::kStrFindButton), this);
    m_btnFind->setAutoDefault(false);
    m_staticStatus = new QLabel(this);
    m_staticStatus->setWordWrap(true);
    m_staticStatus->setTextFormat(Qt::PlainText);
    m_pModel = new CFindHitsModel(this);
    m_list = new QTableView(this);
    m_list->setModel(m_pModel);
    m_list->setItemDelegateForColumn(CFindHitsModel::kText, new CMatchDelegate(m_list));
    auto* elideMiddle = new CElideMiddleDelegate(m_list);
    m_list->setItemDelegateForColumn(CFindHitsModel::kPackage, elideMiddle);
    m_list->setItemDelegateForColumn(CFindHitsModel::kSource, elideMiddle);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setStretchLastSection(true);

    auto* top = new QHBoxLayout;
    top->addWidget(m_editText, 1);
    top->addWidget(m_comboScope);
    top->addWidget(m_btnFind);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_staticStatus);
    layout->addWidget(m_list, 1);
    resize(1200, 600);
    const int widths[] = {170, 150, 140, 85, 90, 160, 45};
    for (int col = 0; col < CFindHitsModel::kText; ++col) m_list->setColumnWidth(col, widths[col]);

    connect(m_btnFind, &QPushButton::clicked, this, &CFindSessionsDlg::OnFind);
    connect(m_editText, &QLineEdit::returnPressed, this, &CFindSessionsDlg::OnFind);
    connect(m_list, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { OnHitActivated(index.row()); });
    m_pKeys = new common::CWindowKeys(*this, [this](QWidget* target, const QKeyEvent& key) {
        if (target != m_list || (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter))
            return false;
        OnHitActivated(m_list->currentIndex().row());
        return true;
    });
    if (owner) owner->installEventFilter(this);
}

CFindSessionsDlg::~CFindSessionsDlg() {
    m_pKeys->Detach();
    m_runner.Stop();
}

void CFindSessionsDlg::Activate() {
    show();
    raise();
    activateWindow();
    m_editText->setFocus(Qt::ShortcutFocusReason);
    m_editText->selectAll();
}

void CFindSessionsDlg::OnFind() {
    const std::string query = m_editText->text().toStdString();
    if (query.empty()) return;
    const bool bAll = m_comboScope->currentIndex() == 1;
    std::vector<std::string> folders;
    for (const SFindPackage& package : m_packages ? m_packages() : std::vector<SFindPackage>{}) {
        if (bAll || package.bOpen) folders.push_back(package.strWorkFolder);
    }
    m_runner.Stop();
    m_pModel->Clear();
    m_strQuery = query;
    if (folders.empty()) {
        m_bSearching = false;
        m_staticStatus->setText(ResString(session_index::kStrFindNoPackage));
        emit SearchFinished();
        return;
    }
    session_index::SessionSearchOptions options;
    options.nMaxHits = kMaxShownHits;
    m_bSearching = true;
    m_staticStatus->setText(ResString(session_index::kStrFindSearching));
    m_bPageShown = false;
    QPointer<CFindSessionsDlg> self(this);
    // Delivered on the window thread; dropped when the window is gone.
    const auto deliver = [self](bool bPage) {
        return [self, bPage](std::uint64_t nSearch, session_index::SessionSearchResult result) {
            QMetaObject::invokeMethod(
                self,
                [self, bPage, nSearch, result = std::move(result)] {
                    if (!self) return;
                    if (bPage)
                        self->ShowPage(nSearch, result);
                    else
                        self->ShowResult(nSearch, result);
                },
                Qt::QueuedConnection);
        };
    };
    m_runner.Start(std::move(folders), query, options, deliver(false), deliver(true));
}

void CFindSessionsDlg::ShowPage(std::uint64_t nSearch,
                                const session_index::SessionSearchResult& page) {
    if (nSearch != m_runner.Current() || !m_bSearching) return;  // a newer search replaced it
    m_bPageShown = true;
    const QLocale numbers(QLocale::English);
    m_staticStatus->setText(ResString(session_index::kStrFindCounting)
                                .arg(numbers.toString(static_cast<qulonglong>(page.hits.size()))));
    m_pModel->SetHits(page.hits);
    if (m_pModel->rowCount() > 0) m_list->selectRow(0);
}

void CFindSessionsDlg::ShowResult(std::uint64_t nSearch,
                                  const session_index::SessionSearchResult& result) {
    if (nSearch != m_runner.Current() || !m_bSearching) return;  // a newer search replaced it
    m_bSearching = false;
    const session_index::SFindSummary summary = session_index::SummarizeSearch(result);
    // Grouped digits in both languages ("1,500").
    const QLocale numbers(QLocale::English);
    QStringList lines;
    if (summary.nTotal == 0)
        lines << ResString(session_index::kStrFindNoHit);
    else if (summary.nShown < summary.nTotal)
        lines << ResString(session_index::kStrFindHitsCapped)
                     .arg(numbers.toString(static_cast<qulonglong>(summary.nTotal)))
                     .arg(numbers.toString(static_cast<qulonglong>(summary.nShown)));
    else
        lines << ResString(session_index::kStrFindHits)
                     .arg(numbers.toString(static_cast<qulonglong>(summary.nTotal)));
    for (const session_index::SIndexNotice& notice : summary.notices) {
        const QString name = QString::fromStdString(notice.strPackage);
        lines
            << (notice.bBuilding
                    ? ResString(session_index::kStrFindIndexBuilding).arg(name).arg(notice.nPercent)
                    : ResString(session_index::kStrFindIndexMissing).arg(name));
    }
    m_staticStatus->setText(lines.join(QLatin1Char('\n')));
    if (!m_bPageShown) {
        m_pModel->SetHits(result.hits);
        if (m_pModel->rowCount() > 0) m_list->selectRow(0);
    }
    m_bPageShown = false;
    emit SearchFinished();
}

void CFindSessionsDlg::OnHitActivated(int nRow) {
    const session_index::SessionHit* hit = m_pModel->Hit(nRow);
    if (!hit) return;
    SFindHitPackage package;
    package.strProgramFolder = m_strProgramFolder;
    bool bKnown = false;
    for (const SFindPackage& p : m_packages ? m_packages() : std::vector<SFindPackage>{}) {
        if (p.strName != hit->strPackage) continue;
        bKnown = true;
        package.bReady = p.bReady;
        package.pChildDb = p.pChildDb;
    }
    // A package deleted since the search has nothing left to play.
    if (!bKnown) return;
    const dispatch::SDispatchDecision decision = DecideHitDispatch(package, *hit, m_strQuery);
    if (decision.eKind == dispatch::SDispatchDecision::kMessage)
        common::ShowMessage(ResString(decision.nMessageId));
    else if (decision.eKind == dispatch::SDispatchDecision::kLaunch)
        dispatch::LaunchPlayer(m_strProgramFolder, decision.ePlayer, decision.strArguments);
}

void CFindSessionsDlg::StopSearch() {
    m_runner.Stop();
    if (m_bSearching) m_staticStatus->clear();
    m_bSearching = false;
    m_bPageShown = false;
}

bool CFindSessionsDlg::eventFilter(QObject* watched, QEvent* e) {
    if (watched == parent() && e->type() == QEvent::Close) {
        // The main dialog's close deletes the work folders this search reads.
        StopSearch();
        hide();
    }
    return QDialog::eventFilter(watched, e);
}

void CFindSessionsDlg::hideEvent(QHideEvent* e) {
    // Closed or hidden by the program; a minimised window goes on searching.
    if (!e->spontaneous()) StopSearch();
    QDialog::hideEvent(e);
}

}  // namespace ui
