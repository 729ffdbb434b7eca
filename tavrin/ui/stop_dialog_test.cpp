// Nothing frozen: package SQL that never ends, on the import's thread or on the window
// thread, gives way to Cancel, to the close and to SIGTERM, through the real dialog offscreen.
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/spawn.h"
#include "platform/termination_signals.h"
#include "tavrin/find/find_strings.h"
#include "tavrin/testing/import_test_util.h"
#include "tavrin/testing/main_dialog_test_support.h"
#include "tavrin/testing/tavrin_dlg_test_access.h"
#include "tavrin/ui/import_progress_dialog.h"
#include "tavrin/ui/load_report_strings.h"
#include "tavrin/ui/res_string.h"

namespace ui {

namespace {

namespace fs = std::filesystem;
using package_import::test::SamplePackage;
using test::CMainDialogTest;
using test::Peek;

CImportProgressDialog* ShownProgressWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<CImportProgressDialog*>(w); p && p->isVisible()) return p;
    return nullptr;
}

class StopDialogTest : public CMainDialogTest {
  protected:
    // The sample with an endless statement first among its table definitions.
    SamplePackage EndlessPackage() { return HostilePackage("sql_endless"); }

    // The sample made hostile by the named case of hostile_packages.py.
    SamplePackage HostilePackage(const std::string& strCase) {
        SamplePackage base = package_import::test::MakeSamplePackage(m_tmp / "gen");
        fs::create_directories(m_tmp / "in");
        fs::create_directories(m_tmp / "outside");
        SamplePackage endless = base;
        endless.strTar = m_tmp / ("in/" + base.strName + ".tar");
        auto r = platform::SpawnAndWait(
            "/usr/bin/python3",
            {"python3", std::string(TAVRIN_TEST_SOURCE_DIR) + "/tavrin/testing/hostile_packages.py",
             strCase, base.strTar, endless.strTar, m_tmp / "outside"});
        EXPECT_TRUE(r.started && r.exitStatus == 0);
        return endless;
    }

    // Calls act once the import has been on the table definitions for a moment.
    void WhenHung(QTimer& watch, const std::function<void()>& act) {
        watch.setInterval(20);
        auto since = std::make_shared<QElapsedTimer>();
        QObject::connect(&watch, &QTimer::timeout, [this, &watch, act, since] {
            CImportProgressDialog* p = ShownProgressWindow();
            if (!p || !p->Label()->text().contains(QStringLiteral("sub_table_sms.sql"))) return;
            if (!since->isValid()) since->start();
            if (since->elapsed() < 300) return;
            watch.stop();
            m_hung.start();
            act();
        });
        watch.start();
    }

    QElapsedTimer m_hung;  // from the moment act ran
};

TEST_F(StopDialogTest, CancelEndsAnEndlessTableDefinitionAndRemovesTheWorkFolder) {
    SamplePackage package = EndlessPackage();
    QTimer watch;
    WhenHung(watch, [] { ShownProgressWindow()->CancelButton()->click(); });
    Open(package.strTar);
    ASSERT_TRUE(m_hung.isValid()) << "the import never reached the definitions";
    EXPECT_LT(m_hung.elapsed(), 2000);
    EXPECT_FALSE(fs::exists(WorkFolder(package)));
    EXPECT_TRUE(Peek(*m_pDlg).m_packages.empty());
    EXPECT_TRUE(m_prompts.m_messages.isEmpty()) << m_prompts.m_messages.join("|").toStdString();
    EXPECT_TRUE(Peek(*m_pDlg).m_btnOpen->isEnabled());
}

TEST_F(StopDialogTest, SigtermDuringAnEndlessTableDefinitionClosesWithinTwoSeconds) {
    SamplePackage package = EndlessPackage();
    m_pDlg->show();  // the termination watch starts with the first shown main dialog
    QApplication::processEvents();
    QTimer watch;
    WhenHung(watch, [] { platform::RaiseSignal(platform::SigTerm()); });
    Open(package.strTar);
    while (m_hung.isValid() && m_pDlg->isVisible() && m_hung.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(m_hung.isValid()) << "the import never reached the definitions";
    EXPECT_LT(m_hung.elapsed(), 2000);
    EXPECT_TRUE(m_pDlg->IsClosing());
    EXPECT_FALSE(m_pDlg->isVisible());
    EXPECT_FALSE(fs::exists(WorkFolder(package)));
}

TEST_F(StopDialogTest, AnEndlessQueryOnTheWindowThreadStopsWithinItsLimitAndIsTold) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    Open(package.strTar);
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(package.strName)));
    m_pDlg->show();
    QApplication::processEvents();
    // The listed table turned into a view over an endless query, as a planted database would
    // hold it.
    ASSERT_EQ(sqlite3_exec(Peek(*m_pDlg).m_pParentDb->db,
                           "ALTER TABLE unix_sms_log RENAME TO sms_rows; "
                           "CREATE VIEW unix_sms_log AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL "
                           "SELECT x+1 FROM c) SELECT sms_rows.* FROM sms_rows, c WHERE x < 0",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    QElapsedTimer took;
    took.start();
    m_pDlg->OnFirstPage();
    EXPECT_LT(took.elapsed(), 2000);
    EXPECT_EQ(m_pDlg->Browser().Screen().page.nTotalRows, 0);
    // The message is posted; on a busy machine one pass of the event loop may not reach it.
    for (int i = 0; i < 100 && m_prompts.m_messages.empty(); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(m_prompts.m_messages.size(), 1);
    EXPECT_EQ(m_prompts.m_messages[0], ResString(kStrQueryStopped));
    // The close still ends everything.
    m_pDlg->OnClose();
    EXPECT_FALSE(fs::exists(WorkFolder(package)));
}

TEST_F(StopDialogTest, AFailedBackgroundLoadIsToldAndNeverReadsAsLoaded) {
    SamplePackage package = HostilePackage("row_fails");
    const QString name = QString::fromStdString(package.strName);
    Open(package.strTar);
    ASSERT_TRUE(WaitForLoad(name));
    // The message is posted after the load is marked done; on a busy machine a few passes of
    // the event loop may come before it.
    QElapsedTimer waited;
    waited.start();
    while (m_prompts.m_messages.empty() && waited.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(m_prompts.m_messages.size(), 1) << m_prompts.m_messages.join("|").toStdString();
    EXPECT_EQ(m_prompts.m_messages[0],
              ResString(kStrLoadIncompleteTables).arg(name, QStringLiteral("no_such_table")));
    ASSERT_EQ(Peek(*m_pDlg).m_states.size(), 1u);
    EXPECT_TRUE(Peek(*m_pDlg).m_states.front().bIncomplete);
    // What did load is still indexed (the ticker says how far); it never reads as loaded.
    Peek(*m_pDlg).m_indexes.WaitIdle();
    m_pDlg->OnTick();
    EXPECT_EQ(Peek(*m_pDlg).m_strStatus, name + QLatin1Char(' ') + ResString(kStrLoadIncomplete) +
                                             ResString(session_index::kStrIndexBuilt));
}

}  // namespace

}  // namespace ui
