// Shared pieces of the frame's dialog tests: a private temporary folder that is also the
// current directory (code.ini lands there), and the language module of the program folder
// made current.
#pragma once

#include <gtest/gtest.h>
#include <QDir>
#include <QString>

#include "common/qt/lang_module.h"
#include "common/testing/fake_user_prompts.h"
#include "common/testing/temp_folder.h"
#include "tavrin/ui/res_string.h"

namespace ui::test {

// The program folder of the build: TAVRIN_PROGRAM_DIR when set, else the folder the build
// compiled in.
inline QString TestProgramFolder() {
    const QString fromEnv = qEnvironmentVariable("TAVRIN_PROGRAM_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(TAVRIN_TEST_PROGRAM_DIR) : fromEnv;
}

class FrameDialogTest : public ::testing::Test {
  protected:
    // Loads the module named by Module() from the program folder and enters the temp folder.
    void SetUp() override {
        m_strOldCurrent = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(TempPath()));
        ASSERT_TRUE(m_module.Load(QDir(TestProgramFolder()).filePath(Module())))
            << "language module missing in " << TestProgramFolder().toStdString();
        SetCurrentLangModule(&m_module);
    }
    void TearDown() override {
        SetCurrentLangModule(nullptr);
        m_module.Release();
        QDir::setCurrent(m_strOldCurrent);
    }
    virtual QString Module() const { return QStringLiteral("english.rcc"); }
    // The test's private folder, as Qt names paths.
    QString TempPath() const { return QString::fromStdU16String(m_temp.Path().u16string()); }

    common::test::CTempFolder m_temp;
    QString m_strOldCurrent;
    common::CLangModule m_module;
    common::test::CFakeUserPrompts m_prompts;
};

}  // namespace ui::test
