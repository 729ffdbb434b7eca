#include "tavrin/ui/import_progress_dialog.h"

#include <thread>

#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "tavrin/ui/aids_strings.h"
#include "tavrin/ui/dialog_events.h"
#include "tavrin/ui/res_string.h"

namespace ui {

namespace {

constexpr int kRefreshMs = 100;
// Byte counts are shown on a bar of this many steps, so that sizes beyond an int fit.
constexpr int kBarSteps = 1000;

QString Megabytes(std::uint64_t nBytes) {
    return QString::number(static_cast<double>(nBytes) / (1024.0 * 1024.0), 'f', 1);
}

}  // namespace

CImportProgressDialog::CImportProgressDialog(QWidget* parent,
                                             package_import::CImportProgress& progress,
                                             const QString& strPackage)
    : QDialog(parent), m_progress(progress) {
    setWindowTitle(ResString(kStrImportTitle).arg(strPackage));
    setWindowModality(Qt::WindowModal);
    setObjectName(QStringLiteral("importProgress"));
    auto* layout = new QVBoxLayout(this);
    m_pLabel = new QLabel(windowTitle(), this);
    m_pLabel->setMinimumWidth(420);
    m_pBar = new QProgressBar(this);
    m_pCancel = new QPushButton(ResString(kStrImportCancel), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_pCancel);
    layout->addWidget(m_pLabel);
    layout->addWidget(m_pBar);
    layout->addLayout(buttons);
    connect(m_pCancel, &QPushButton::clicked, this, [this] { Cancel(); });
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] { Refresh(); });
    Refresh();
}

CImportProgressDialog::~CImportProgressDialog() = default;

QString CImportProgressDialog::StepText(const package_import::SImportProgress& state) {
    const QString file = QString::fromStdString(state.strFile);
    switch (state.eStep) {
        case package_import::ImportStep::kUnpacking:
            return ResString(kStrImportUnpacking).arg(file);
        case package_import::ImportStep::kConverting:
            return ResString(kStrImportConverting).arg(file);
        case package_import::ImportStep::kLoading:
            return ResString(kStrImportLoading).arg(file);
        case package_import::ImportStep::kSplitting:
            return ResString(kStrImportSplitting).arg(file);
        case package_import::ImportStep::kNone:
            break;
    }
    return QString();
}

void CImportProgressDialog::Refresh() {
    const package_import::SImportProgress state = m_progress.Snapshot();
    if (m_progress.CancelRequested()) {
        m_pLabel->setText(ResString(kStrImportCancelling));
        m_pCancel->setEnabled(false);
        m_pBar->setRange(0, 0);  // busy until the step has given up
        return;
    }
    // Until the first step has begun, the label keeps the window's title.
    const QString text = StepText(state);
    if (!text.isEmpty()) m_pLabel->setText(text);
    if (state.eStep == package_import::ImportStep::kUnpacking) {
        // Before its first percentage the archiver may not show one at all.
        if (state.nDone == 0) {
            m_pBar->setRange(0, 0);
        } else {
            m_pBar->setRange(0, 100);
            m_pBar->setValue(static_cast<int>(state.nDone));
            m_pBar->setFormat(QStringLiteral("%p%"));
        }
    } else if (state.nTotal > 0) {
        m_pBar->setRange(0, kBarSteps);
        m_pBar->setValue(static_cast<int>(state.nDone * kBarSteps / state.nTotal));
        m_pBar->setFormat(
            ResString(kStrImportBytes).arg(Megabytes(state.nDone), Megabytes(state.nTotal)));
    } else {
        m_pBar->setRange(0, 0);
    }
}

void CImportProgressDialog::Cancel() {
    m_progress.RequestCancel();
    Refresh();
}

void CImportProgressDialog::closeEvent(QCloseEvent* e) {
    e->ignore();
    Cancel();
}

void CImportProgressDialog::reject() {
    Cancel();
}

void CImportProgressDialog::RunStep(const std::function<void()>& work) {
    if (!isVisible()) show();
    m_refresh.start();
    QEventLoop loop;
    // The step's end is posted to this thread; the loop below delivers it.
    std::thread worker([this, &work, &loop] {
        work();
        PostDialogCall(this, [&loop] { loop.quit(); });
    });
    loop.exec();
    worker.join();
    m_refresh.stop();
    Refresh();
}

}  // namespace ui
