#include "tavrin/ui/dialog_aids.h"

#include <cstdio>

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "tavrin/ui/aids_strings.h"
#include "tavrin/ui/package_fingerprint.h"
#include "tavrin/ui/res_string.h"
#include "tavrin/ui/tavrin_dlg.h"

namespace {

const char kExportButtonId[] = "1040";
// Where the export button goes when the template has none: the end of the paging row.
const QRect kExportButtonRect(1150, 657, 120, 28);

QLineEdit* NameField(CTavrinDlg& dlg) {
    return dlg.findChild<QLineEdit*>(QStringLiteral("1002"));
}

}  // namespace

CAuditorExtras& CAuditorExtras::Attach(CTavrinDlg& dlg) {
    if (!dlg.m_pAuditorExtras) dlg.m_pAuditorExtras = new CAuditorExtras(dlg);
    return *dlg.m_pAuditorExtras;
}

CAuditorExtras::CAuditorExtras(CTavrinDlg& dlg) : QObject(&dlg), m_dlg(dlg) {
    setObjectName(QStringLiteral("auditorExtras"));
    m_btnExport = dlg.findChild<QPushButton*>(QLatin1String(kExportButtonId));
    if (!m_btnExport) {
        m_btnExport = new QPushButton(ResString(kStrExportButton), &dlg);
        m_btnExport->setObjectName(QLatin1String(kExportButtonId));
        m_btnExport->setGeometry(kExportButtonRect);
        m_btnExport->show();
    }
    m_btnExport->setAutoDefault(false);
    m_btnExport->setDefault(false);
    connect(m_btnExport, &QPushButton::clicked, this, &CAuditorExtras::OnExport);

    dlg.setAcceptDrops(true);
    // Installed after the dialog's own filter, so this one sees keys first: the dialog's
    // swallows every Enter, which the page field and the list give a meaning here.
    qApp->installEventFilter(this);
}

CAuditorExtras::~CAuditorExtras() {
    // Runs while the dialog deletes its children, when only its QWidget part is left: the
    // dialog is not touched here.
    qApp->removeEventFilter(this);
}

bool CAuditorExtras::eventFilter(QObject* watched, QEvent* e) {
    const QEvent::Type type = e->type();
    if (type != QEvent::KeyPress && type != QEvent::DragEnter && type != QEvent::DragMove &&
        type != QEvent::Drop)
        return false;
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != &m_dlg)
        return false;
    if (type == QEvent::KeyPress) return HandleKey(watched, *static_cast<QKeyEvent*>(e));
    return HandleDrag(e);
}

void CAuditorExtras::ImportInTurn(const QStringList& paths) {
    // A drop during a message box of an import in turn joins no second loop.
    if (m_bImportingInTurn) return;
    m_bImportingInTurn = true;
    for (const QString& path : paths) m_dlg.ImportPackageFile(path);
    m_bImportingInTurn = false;
}

void CAuditorExtras::RecordFingerprint(const QString& strName, const std::string& sha256) {
    m_fingerprints[strName] = QString::fromStdString(sha256);
    ShowFingerprint();
}

QString CAuditorExtras::Fingerprint(const QString& strName) const {
    auto it = m_fingerprints.find(strName);
    return it == m_fingerprints.end() ? QString() : it->second;
}

void CAuditorExtras::ShowFingerprint() {
    QLineEdit* field = NameField(m_dlg);
    if (!field) return;
    auto it = m_fingerprints.find(m_dlg.m_strPackageName);
    if (it == m_fingerprints.end())
        field->setToolTip(QString());
    else if (it->second.isEmpty())
        field->setToolTip(ResString(kStrFingerprintFailed));
    else
        field->setToolTip(ResString(kStrFingerprintTip).arg(it->second));
}

QString LastPackageFolder(CTavrinDlg& dlg) {
    return CAuditorExtras::Attach(dlg).LastFolder().Folder();
}

void RememberPackageFolder(CTavrinDlg& dlg, const QString& packagePath) {
    CAuditorExtras::Attach(dlg).LastFolder().Remember(packagePath);
}

void ShowPackageFingerprint(CTavrinDlg& dlg) {
    CAuditorExtras::Attach(dlg).ShowFingerprint();
}

void RecordPackageFingerprint(CTavrinDlg& dlg, const QString& strName, const QString& path,
                              const std::string& sha256) {
    if (!sha256.empty()) {
        const std::string line = auditor::FingerprintLine(sha256, path.toStdString());
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }
    CAuditorExtras::Attach(dlg).RecordFingerprint(strName, sha256);
}

void ImportPackagesWhenShown(CTavrinDlg& dlg, const QStringList& paths) {
    QStringList absolute;
    for (const QString& path : paths)
        if (!path.isEmpty()) absolute << QFileInfo(path).absoluteFilePath();
    if (absolute.isEmpty()) return;
    CAuditorExtras* extras = &CAuditorExtras::Attach(dlg);
    QTimer::singleShot(0, extras, [extras, absolute] { extras->ImportInTurn(absolute); });
}
