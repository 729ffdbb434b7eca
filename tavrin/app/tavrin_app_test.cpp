// Start-up: the locale test, the language module with no fallback, the modal run and the
// module's release, and the single-instance check with real processes.
#include <csignal>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include "common/testing/fake_user_prompts.h"
#include "common/testing/temp_folder.h"
#include "platform/single_instance.h"
#include "tavrin/app/tavrin_app.h"
#include "tavrin/testing/tavrin_dlg_test_access.h"
#include "tavrin/testing/ui_test_support.h"
#include "tavrin/ui/audit_combo_box.h"
#include "tavrin/ui/res_string.h"

namespace {

using ui::test::Peek;
using ui::test::TestProgramFolder;

class TavrinAppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_strOldCurrent = QDir::currentPath();
        QDir::setCurrent(TempPath());
        QDir(TempPath()).mkdir("runtime");
        QDir(TempPath()).mkdir("program");
    }
    void TearDown() override { QDir::setCurrent(m_strOldCurrent); }
    QString TempPath() const { return QString::fromStdU16String(m_temp.Path().u16string()); }
    std::string Runtime() const { return m_temp / "runtime"; }
    QString EmptyProgram() const { return TempPath() + "/program"; }

    common::test::CTempFolder m_temp;
    QString m_strOldCurrent;
    common::test::CFakeUserPrompts m_prompts;
};

TEST_F(TavrinAppTest, MissingModuleShowsString141AndEndsWithoutFallback) {
    // Only the English module is there, but the locale asks for Chinese.
    ASSERT_TRUE(QFile::copy(QDir(TestProgramFolder()).filePath("english.rcc"),
                            EmptyProgram() + "/english.rcc"));
    for (bool bChinese : {true, false}) {
        if (!bChinese) QFile::remove(EmptyProgram() + "/english.rcc");
        m_prompts.m_messages.clear();
        CTavrinApp app(EmptyProgram().toStdString(), Runtime(), bChinese);
        bool bDialog = false;
        app.m_onDialogReady = [&bDialog](CTavrinDlg&) { bDialog = true; };
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(app.Result(), CTavrinApp::Outcome::kModuleMissing);
        EXPECT_FALSE(bDialog);
        ASSERT_EQ(m_prompts.m_messages.size(), 1);
        EXPECT_EQ(m_prompts.m_messages[0], app::String141());
        EXPECT_FALSE(app.LangModule().IsLoaded());
        EXPECT_EQ(app.ExitInstance(), 0);
        EXPECT_EQ(app.LangModule().ReleaseCount(), 0);
    }
    EXPECT_FALSE(app::String141().isEmpty());
}

TEST_F(TavrinAppTest, RunsTheDialogModallyAndReleasesTheModuleOnce) {
    for (bool bChinese : {true, false}) {
        CTavrinApp app(TestProgramFolder().toStdString(), Runtime(), bChinese);
        QString title;
        QString audit3;
        app.m_onDialogReady = [&](CTavrinDlg& dlg) {
            title = dlg.windowTitle();
            audit3 = Peek(dlg).m_comboAudit->itemText(3);
            EXPECT_EQ(ui::CurrentLangModule(), &app.m_hLangModule);
            QTimer::singleShot(0, &dlg, [&dlg] {
                EXPECT_TRUE(dlg.isVisible());  // running modally
                dlg.EndDialogDefault();
            });
        };
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(app.Result(), CTavrinApp::Outcome::kDialogEnded);
        EXPECT_TRUE(m_prompts.m_messages.isEmpty());
        EXPECT_FALSE(title.isEmpty());
        EXPECT_EQ(audit3, app.m_hLangModule.String(157));
        // The module's language is the one the locale asked for.
        EXPECT_EQ(audit3.contains(QChar(0x5B57)), bChinese);  // 字 of 字符会话
        app.ExitInstance();
        app.ExitInstance();
        EXPECT_EQ(app.LangModule().ReleaseCount(), 1);
        EXPECT_EQ(ui::CurrentLangModule(), nullptr);
    }
}

TEST_F(TavrinAppTest, ATerminationSignalDuringTheRunClosesTheDialogThroughItsCloseHandling) {
    CTavrinApp app(TestProgramFolder().toStdString(), Runtime(), false);
    bool bClosing = false;
    app.m_onDialogReady = [&bClosing](CTavrinDlg& dlg) {
        QTimer::singleShot(0, &dlg, [] { std::raise(SIGTERM); });
        QObject::connect(&dlg, &QDialog::finished,
                         [&bClosing, &dlg] { bClosing = dlg.IsClosing(); });
    };
    EXPECT_FALSE(app.InitInstance());  // a signal not watched would have ended the process
    EXPECT_EQ(app.Result(), CTavrinApp::Outcome::kDialogEnded);
    EXPECT_TRUE(bClosing);
    app.ExitInstance();
}

TEST_F(TavrinAppTest, SecondCopyInTheSameRuntimeFolderEndsSilently) {
    platform::CInstanceLock first(Runtime(), "Tavrin.exe");
    ASSERT_EQ(first.GetState(), platform::CInstanceLock::State::kAcquired);
    CTavrinApp app(TestProgramFolder().toStdString(), Runtime(), false);
    bool bDialog = false;
    app.m_onDialogReady = [&bDialog](CTavrinDlg&) { bDialog = true; };
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.Result(), CTavrinApp::Outcome::kSecondCopy);
    EXPECT_FALSE(bDialog);
    EXPECT_TRUE(m_prompts.m_messages.isEmpty());
    EXPECT_FALSE(app.LangModule().IsLoaded());
}

// Real processes: the program of the program folder, started twice.
class TavrinProcessTest : public TavrinAppTest {
  protected:
    void Configure(QProcess& process) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(Runtime()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LANG", "en_US.UTF-8");
        env.remove("LC_ALL");
        env.remove("LC_MESSAGES");
        env.remove("TAVRIN_PROGRAM_DIR");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(TempPath());
    }
    QString Program() const { return QDir(TestProgramFolder()).filePath("Tavrin"); }
};

TEST_F(TavrinProcessTest, SecondCopyEndsSilentlyWhileTheFirstRuns) {
    QFile::setPermissions(QString::fromStdString(Runtime()),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcess first;
    Configure(first);
    first.start(Program(), {});
    ASSERT_TRUE(first.waitForStarted(10000));
    // The first copy has its window up once its ticker announces itself.
    QByteArray firstOut;
    for (int i = 0; i < 200 && !firstOut.contains("TimeThread"); ++i) {
        first.waitForReadyRead(100);
        firstOut += first.readAllStandardOutput();
    }
    ASSERT_TRUE(firstOut.contains("TimeThread")) << first.readAllStandardError().toStdString();

    QProcess second;
    Configure(second);
    second.start(Program(), {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardOutput(), "");  // no dialog, no ticker
    EXPECT_EQ(second.readAllStandardError(), "");

    // The first copy is unaffected.
    QTest::qWait(200);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(10000);

    // Once the first has gone (even killed), a new copy starts normally.
    QProcess third;
    Configure(third);
    third.start(Program(), {});
    ASSERT_TRUE(third.waitForStarted(10000));
    QByteArray thirdOut;
    for (int i = 0; i < 200 && !thirdOut.contains("TimeThread"); ++i) {
        third.waitForReadyRead(100);
        thirdOut += third.readAllStandardOutput();
    }
    EXPECT_TRUE(thirdOut.contains("TimeThread"));
    third.kill();
    third.waitForFinished(10000);
}

}  // namespace
