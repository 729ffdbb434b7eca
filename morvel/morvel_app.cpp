#include "morvel/morvel_app.h"

#include <QSocketNotifier>
#include <memory>

#include "common/language_choice.h"
#include "morvel/morvel_dlg.h"
#include "platform/paths.h"
#include "platform/termination_signals.h"

namespace {
constexpr int kStringSettingsKey = 132;
}

CMorvelApp::CMorvelApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Morvel"));
}

bool CMorvelApp::InitInstance(const std::string& commandLineText,
                              const std::string& programFolder) {
    // Signals are caught from the start, so one that comes while the lines load still closes
    // the window through its close handling once the window runs.
    const int signalFd = platform::InstallTerminationSignalPipe();

    m_bChinese = IsChineseLocale();
    const std::string module =
        platform::JoinPath(programFolder, LanguageModuleName(ELangProgram::kMorvel, m_bChinese));
    if (!m_lang.Load(QString::fromStdString(module))) return false;
    setOrganizationName(m_lang.String(kStringSettingsKey));

    CMorvelDlg dlg(m_lang, commandLineText, programFolder);
    std::unique_ptr<QSocketNotifier> notifier;
    if (signalFd >= 0) {
        notifier = std::make_unique<QSocketNotifier>(signalFd, QSocketNotifier::Read);
        connect(notifier.get(), &QSocketNotifier::activated, &dlg, [this, &dlg] {
            const int sig = platform::TakeTerminationSignal();
            if (sig == 0) return;
            m_nSignal = sig;
            dlg.close();
            // A message box still open would hold the window's loop: close it too.
            QApplication::closeAllWindows();
        });
    }
    dlg.exec();
    notifier.reset();
    return false;
}
