// The main dialog under test, offscreen: a program folder of the test's own (the archiver
// link, table.sql, the English module and the registry folder), the user's settings folder
// inside the test's temporary folder, the fake prompts, and the dialog. Fixtures of the dialog
// tests derive from CMainDialogTest and add what their component needs.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <gtest/gtest.h>

#include "common/qt/lang_module.h"
#include "common/testing/fake_user_prompts.h"
#include "tavrin/testing/import_test_util.h"
#include "tavrin/testing/tavrin_dlg_test_access.h"
#include "tavrin/ui/package_records.h"
#include "tavrin/ui/res_string.h"

namespace ui::test {

class CMainDialogTest : public testing::Test {
  protected:
    void SetUp() override {
        m_strProgram = m_tmp / "bin";
        package_import::test::LayOutProgramFolder(m_strProgram);
        std::filesystem::copy_file(std::string(TAVRIN_TEST_PROGRAM_DIR) + "/english.rcc",
                                   m_strProgram + "/english.rcc");
        qputenv("TAVRIN_PROGRAM_DIR", QByteArray::fromStdString(m_strProgram));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_tmp / "config"));
        ASSERT_TRUE(m_module.Load(QString::fromStdString(m_strProgram + "/english.rcc")));
        SetCurrentLangModule(&m_module);
        m_pDlg = std::make_unique<CTavrinDlg>();
        m_pDlg->WatchTermination();  // as the program does before the modal run
    }
    void TearDown() override {
        m_pDlg.reset();
        SetCurrentLangModule(nullptr);
        qunsetenv("TAVRIN_PROGRAM_DIR");
        qunsetenv("XDG_CONFIG_HOME");
    }

    // Chooses path in the fake open-file dialog and presses button 1001; the console output
    // of the import is kept in m_strConsole.
    void Open(const std::string& path) {
        m_prompts.m_openAnswers << QString::fromStdString(path);
        testing::internal::CaptureStdout();
        Peek(*m_pDlg).m_btnOpen->click();
        m_strConsole = testing::internal::GetCapturedStdout();
    }

    // Delivers posted events until the named package's ticker entry is done (at most a
    // minute: sanitizer builds load slowly).
    bool WaitForLoad(const QString& name) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 60000) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            for (const stateData& s : Peek(*m_pDlg).m_states)
                if (s.strName == name && s.bDone) return true;
        }
        return false;
    }

    std::string WorkFolder(const package_import::test::SamplePackage& p) const {
        return m_strProgram + "/" + p.strName;
    }

    package_import::test::CTempFolder m_tmp;
    std::string m_strProgram;
    common::CLangModule m_module;
    common::test::CFakeUserPrompts m_prompts;
    std::unique_ptr<CTavrinDlg> m_pDlg;
    std::string m_strConsole;
};

}  // namespace ui::test
