#include "tavrin/app/tavrin_app.h"

#include <cstdio>

#include <QCoreApplication>
#include <QDir>

#include "common/language_choice.h"
#include "common/qt/user_prompts.h"
#include "platform/single_instance.h"
#include "tavrin/ui/qt_translations.h"
#include "tavrin/ui/res_string.h"
#include "tavrin/ui/tavrin_dlg.h"

namespace app {

QString String141() {
    return QStringLiteral(
        "无法加载语言模块（chinese.rcc 或 english.rcc），程序无法启动。\n"
        "The language module (chinese.rcc or english.rcc) cannot be loaded; Tavrin cannot "
        "start.");
}

}  // namespace app

CTavrinApp::CTavrinApp(std::string programFolder, std::string runtimeFolder, bool bChinese)
    : m_bChinese(bChinese),
      m_strProgramFolder(std::move(programFolder)),
      m_strRuntimeFolder(std::move(runtimeFolder)) {}

CTavrinApp::~CTavrinApp() {
    ExitInstance();
}

bool CTavrinApp::InitInstance() {
    m_pInstanceLock = std::make_unique<platform::CInstanceLock>(m_strRuntimeFolder, "Tavrin.exe");
    switch (m_pInstanceLock->GetState()) {
        case platform::CInstanceLock::State::kHeldElsewhere:
            m_outcome = Outcome::kSecondCopy;
            return false;
        case platform::CInstanceLock::State::kUnavailable:
            // Without a usable marker the program still runs; only the guard is missing.
            std::fprintf(stderr, "cannot use the lock file %s\n", m_pInstanceLock->Path().c_str());
            break;
        case platform::CInstanceLock::State::kAcquired:
            break;
    }

    const QString moduleFile = QDir(QString::fromStdString(m_strProgramFolder))
                                   .filePath(QString::fromStdString(common::LanguageModuleName(
                                       common::ELangProgram::kTavrin, m_bChinese)));
    if (!m_hLangModule.Load(moduleFile)) {
        common::ShowMessage(app::String141());
        m_outcome = Outcome::kModuleMissing;
        return false;
    }
    ui::SetCurrentLangModule(&m_hLangModule);
    m_pQtTranslator = ui::InstallQtTranslations(m_bChinese);
    QCoreApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));

    {
        CTavrinDlg dlg;
        dlg.WatchTermination();
        if (m_onDialogReady) m_onDialogReady(dlg);
        dlg.exec();
    }
    m_outcome = Outcome::kDialogEnded;
    return false;
}

int CTavrinApp::ExitInstance() {
    if (!m_bExited) {
        m_bExited = true;
        if (ui::CurrentLangModule() == &m_hLangModule) ui::SetCurrentLangModule(nullptr);
        m_hLangModule.Release();
        ui::RemoveQtTranslations(m_pQtTranslator);
        m_pQtTranslator = nullptr;
    }
    return 0;
}
