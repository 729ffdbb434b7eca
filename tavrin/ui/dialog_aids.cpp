#include "tavrin/ui/dialog_aids.h"

#include <cstdio>

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "tavrin/ui/aids_strings.h"
#include "tavrin/ui/package_fingerprint.h"
#include "tavrin/ui/res_string.h"

namespace ui {

namespace {

const char kExportButtonId[] = "1040";
// Where the export button goes when the template has none: the end of the paging row.
const QRect kExportButtonRect(1150, 657, 120, 28);

QLineEdit* NameField(QWidget& window) {
    return window.findChild<QLineEdit*>(QStringLiteral("1002"));
}

}  // namespace

CAuditorExtras::CAuditorExtras(QWidget& window, const browser::CBrowserModel& browser,
                               const CListCtrlEx& list, const QPushButton& btnOpen)
    : QObject(&window), m_window(window), m_browser(browser), m_list(list), m_btnOpen(btnOpen) {
    setObjectName(QStringLiteral("auditorExtras"));
    m_btnExport = window.findChild<QPushButton*>(QLatin1String(kExportButtonId));
    if (!m_btnExport) {
        m_btnExport = new QPushButton(ResString(kStrExportButton), &window);
        m_btnExport->setObjectName(QLatin1String(kExportButtonId));
        m_btnExport->setGeometry(kExportButtonRect);
        m_btnExport->show();
    }
    m_btnExport->setAutoDefault(false);
    m_btnExport->setDefault(false);
    connect(m_btnExport, &QPushButton::clicked, this, &CAuditorExtras::OnExport);

    window.setAcceptDrops(true);
    // Drops land on whichever child is under the cursor: the whole window is watched.
    qApp->installEventFilter(this);
}

CAuditorExtras::~CAuditorExtras() {
    // Runs while the dialog deletes its children, when only its QWidget part is left: the
    // dialog is not touched here.
    qApp->removeEventFilter(this);
}

bool CAuditorExtras::eventFilter(QObject* watched, QEvent* e) {
    const QEvent::Type type = e->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != &m_window)
        return false;
    return HandleDrag(e);
}

void CAuditorExtras::ImportInTurn(const QStringList& paths) {
    // A drop during a message box of an import in turn joins no second loop.
    if (m_bImportingInTurn) return;
    m_bImportingInTurn = true;
    for (const QString& path : paths) emit importRequested(path);
    m_bImportingInTurn = false;
}

void CAuditorExtras::ImportInTurnWhenShown(const QStringList& paths) {
    QStringList absolute;
    for (const QString& path : paths)
        if (!path.isEmpty()) absolute << QFileInfo(path).absoluteFilePath();
    if (absolute.isEmpty()) return;
    QTimer::singleShot(0, this, [this, absolute] { ImportInTurn(absolute); });
}

void CAuditorExtras::RecordImportFingerprint(const QString& strName, const QString& path,
                                             const std::string& sha256) {
    if (!sha256.empty()) {
        const std::string line = FingerprintLine(sha256, path.toStdString());
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }
    m_fingerprints[strName] = QString::fromStdString(sha256);
    ShowFingerprint(strName);
}

QString CAuditorExtras::Fingerprint(const QString& strName) const {
    auto it = m_fingerprints.find(strName);
    return it == m_fingerprints.end() ? QString() : it->second;
}

void CAuditorExtras::ShowFingerprint(const QString& strName) {
    QLineEdit* field = NameField(m_window);
    if (!field) return;
    auto it = m_fingerprints.find(strName);
    if (it == m_fingerprints.end())
        field->setToolTip(QString());
    else if (it->second.isEmpty())
        field->setToolTip(ResString(kStrFingerprintFailed));
    else
        field->setToolTip(ResString(kStrFingerprintTip).arg(it->second));
}

}  // namespace ui
