// CMorvelApp: the viewer's application object. It picks the language module by locale, runs
// the viewer's window modally and, when a termination signal (SIGTERM, SIGINT, SIGHUP)
// arrives, closes that window the ordinary way so the process leaves the registry before it
// ends. Main thread only.
#pragma once

#include <QApplication>
#include <string>

#include "common/qt/lang_module.h"

class CMorvelDlg;

class CMorvelApp : public QApplication {
    Q_OBJECT
  public:
    CMorvelApp(int& argc, char** argv);

    // Loads "Morvel_zh.rcc" (Chinese locale) or "Morvel_en.rcc" from programFolder and runs the
    // window for commandLineText. Returns false at once, showing nothing, when the module is
    // missing; also false after the window has closed (there is no loop of its own after it).
    bool InitInstance(const std::string& commandLineText, const std::string& programFolder);

    // The termination signal that closed the window, or 0.
    int TerminationSignal() const { return m_nSignal; }

    bool m_bChinese = false;
    common::CLangModule m_lang;

  private:
    int m_nSignal = 0;
    CMorvelDlg* m_pDlg = nullptr;  // the window while it runs
};
