#include "morvel/morvel_app.h"

#include <QTimer>

#include "common/language_choice.h"
#include "common/qt/termination_notifier.h"
#include "morvel/morvel_dlg.h"
#include "platform/paths.h"

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
    common::CTerminationNotifier notifier([this](int sig) {
        m_nSignal = sig;
        if (m_pDlg) m_pDlg->close();
        // A message box still open would hold the window's loop: close it too.
        QApplication::closeAllWindows();
    });

    m_bChinese = common::IsChineseLocale();
    const std::string module = platform::JoinPath(
        programFolder, common::LanguageModuleName(common::ELangProgram::kMorvel, m_bChinese));
    if (!m_lang.Load(QString::fromStdString(module))) return false;
    setOrganizationName(m_lang.String(kStringSettingsKey));

    CMorvelDlg dlg(m_lang, commandLineText, programFolder);
    m_pDlg = &dlg;
    // A request taken before the window ran closes it as soon as it runs.
    if (m_nSignal != 0) QTimer::singleShot(0, &dlg, [&dlg] { dlg.close(); });
    dlg.exec();
    m_pDlg = nullptr;
    return false;
}
