// CTavrinApp: Tavrin's start-up. It refuses a second copy, loads the language module chosen
// by the locale, runs the main dialog modally and releases the module at exit.
// User-interface thread only; a QApplication must exist.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QString>

#include "common/qt/lang_module.h"

namespace platform {
class CInstanceLock;
}
class CTavrinDlg;

namespace app {
// Message shown when the language module cannot be loaded; part of the program itself, as no
// module is there to supply it.
QString String141();
}  // namespace app

class QTranslator;

class CTavrinApp {
  public:
    enum class Outcome {
        kNotRun,
        kSecondCopy,     // another copy runs: ended silently
        kModuleMissing,  // the language module could not be loaded: string 141 shown
        kDialogEnded,    // the main dialog ran and was closed
    };

    // programFolder holds the language modules; runtimeFolder receives the lock file
    // "Tavrin.exe.lock" (see platform/single_instance.h).
    CTavrinApp(std::string programFolder, std::string runtimeFolder, bool bChinese);
    ~CTavrinApp();  // runs ExitInstance if it has not run yet

    // The whole start-up and the modal run of the dialog (packages named on the command line
    // come through m_onDialogReady). Always returns false (the process ends afterwards);
    // Result() tells how it went.
    bool InitInstance();
    // Releases the language module if loaded (exactly once however often it is called) and
    // returns the process exit status, 0.
    int ExitInstance();

    Outcome Result() const { return m_outcome; }
    const common::CLangModule& LangModule() const { return m_hLangModule; }

    // Called with the constructed dialog right before its modal run (tests drive and close it
    // from here).
    std::function<void(CTavrinDlg&)> m_onDialogReady;

    bool m_bChinese;
    common::CLangModule m_hLangModule;

  private:
    std::string m_strProgramFolder;
    std::string m_strRuntimeFolder;
    std::unique_ptr<platform::CInstanceLock> m_pInstanceLock;  // held for the life of the run
    Outcome m_outcome = Outcome::kNotRun;
    bool m_bExited = false;
    QTranslator* m_pQtTranslator = nullptr;  // Qt's own texts in Chinese, while the run lasts
};
