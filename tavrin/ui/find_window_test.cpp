// "Find in sessions…" driven through the real main dialog, offscreen: packages with known
// texts in every source imported with the real import, their indexes built by the dialog's
// background work, searches typed into the window, and hits started as real child processes
// (the test probe in the players' place, and the real Morvel).
#include <chrono>
#include <filesystem>
#include <thread>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPoint>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/process_control.h"
#include "tavrin/testing/find_test_package.h"
#include "tavrin/testing/main_dialog_test_support.h"
#include "tavrin/ui/find_hits_model.h"
#include "tavrin/ui/find_sessions_dlg.h"

namespace ui {

namespace {

namespace fs = std::filesystem;
using session_index::test::CharRow;
using test::CMainDialogTest;
using test::Peek;

const char kMain[] = "audit_log_2016-09-01_2016-09-10";
const char kNewer[] = "audit_log_2016-10-01_2016-10-10";

class FindWindowTest : public CMainDialogTest {
  protected:
    std::string WorkFolderOf(const std::string& name) const { return m_strProgram + "/" + name; }

    // Imports the main package through the dialog and waits for its load and its index.
    void ImportMain() {
        const std::string stage = m_tmp / "stage1";
        session_index::test::WriteMainStage(stage, m_tmp / "outside.txt");
        ImportStage(stage, kMain);
    }
    // A newer package with one character session whose record says "vi payroll.txt".
    void ImportNewer() {
        const std::string stage = m_tmp / "stage2";
        const std::string dump = stage + "/var/tmp/backup_log/data_2016-10-01_2016-10-10/";
        package_import::test::WriteFile(dump + "unix_sms_log.bak",
                                        CharRow("1", "2016-10-02 08:00:00", "sms_20161001_t1",
                                                "/var/utm/data/sessions/t1.txt"));
        package_import::test::WriteFile(stage + "/var/utm/data/sessions/t1", "vi payroll.txt\n");
        for (const char* empty :
             {"unix_xfer_log.bak", "unix_vsms_log.bak", "unix_xapp_log.bak", "utm2dba.bak",
              "utm_xapp_scan.bak", "utm_dba_scan.bak", "sub_table_sms.sql"})
            package_import::test::WriteFile(dump + empty, "");
        ImportStage(stage, kNewer);
    }
    void ImportStage(const std::string& stage, const std::string& name) {
        const std::string tar = m_tmp / (name + ".tar");
        ASSERT_TRUE(package_import::test::MakeTar(tar, stage, {"var"}));
        Open(tar);
        ASSERT_TRUE(WaitForLoad(QString::fromStdString(name))) << m_strConsole;
        Peek(*m_pDlg).m_indexes.WaitIdle();
    }

    CFindSessionsDlg& Window() { return *Peek(*m_pDlg).m_pFindWindow; }

    // Types text into the window and waits for the search's end; one line per listed hit:
    // "package|view|start|login|remote|source|line|text with the match in [ ]".
    std::vector<std::string> Search(const QString& text, int scope = 0) {
        CFindSessionsDlg& window = Window();
        window.m_comboScope->setCurrentIndex(scope);
        window.m_editText->setText(text);
        QSignalSpy finished(&window, &CFindSessionsDlg::SearchFinished);
        QTest::keyClick(window.m_editText, Qt::Key_Return);
        if (finished.isEmpty()) {
            EXPECT_TRUE(finished.wait(60000));
        }
        std::vector<std::string> rows;
        const CFindHitsModel& model = *window.m_pModel;
        for (int row = 0; row < model.rowCount(); ++row) {
            std::string line;
            for (int col = 0; col < CFindHitsModel::kText; ++col)
                line += model.index(row, col).data().toString().toStdString() + "|";
            const QModelIndex textCell = model.index(row, CFindHitsModel::kText);
            const QString cell = textCell.data().toString();
            const QPoint mark = textCell.data(CFindHitsModel::kMarkRole).toPoint();
            line += (cell.left(mark.x()) + "[" + cell.mid(mark.x(), mark.y()) + "]" +
                     cell.mid(mark.x() + mark.y()))
                        .toStdString();
            rows.push_back(line);
        }
        return rows;
    }
    std::string Status() { return Window().m_staticStatus->text().toStdString(); }

    // Selects row nRow of the hits and presses Enter on it.
    void EnterOn(int nRow) {
        Window().m_list->selectRow(nRow);
        QTest::keyClick(Window().m_list, Qt::Key_Return);
    }
    std::string ProbeArgs(const std::string& name) {
        const std::string file = m_strProgram + "/" + name + ".args";
        for (int i = 0; i < 1000 && !fs::exists(file); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::string text = package_import::test::ReadFile(file);
        fs::remove(file);
        return text;
    }
    void InstallProbe(const std::string& name) {
        fs::copy_file(PLAYER_PROBE_PATH, m_strProgram + "/" + name,
                      fs::copy_options::overwrite_existing);
    }
};

const std::string kSms = std::string(kMain) + "|Character sessions|2016-09-02 10:00:00|张三|root|";

}  // namespace

TEST_F(FindWindowTest, EverySourceIsFoundThroughTheWindowWithItsSessionAndLine) {
    ImportMain();
    // The button opens the window, focused on its text field.
    QPushButton* button = m_pDlg->findChild<QPushButton*>(QStringLiteral("1041"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Find in sessions…"));
    button->click();
    ASSERT_TRUE(Window().isVisible());

    // Latin text in a transfer record, a character record and a scan-table row, newest first,
    // ASCII case ignored.
    EXPECT_EQ(Search("PAYROLL"),
              (std::vector<std::string>{
                  std::string(kMain) + "|File transfers|2016-09-03 10:00:00|张三|root|"
                                       "var/utm/data/sessions/x1|1|put [payroll].xls",
                  kSms + "var/utm/data/sessions/s1|3|echo 审计 [payroll]",
                  std::string(kMain) + "|Graphical application sessions|2016-09-01 10:00:00|"
                                       "李四|admin|utm_xapp_scan|1|a1 2016-09-01 10:00:01 "
                                       "[Payroll] export"}));
    EXPECT_EQ(Status(), "3 lines found.");
    // Chinese from GBK in a file and in a terminal row of child.db.
    EXPECT_EQ(Search("审计"),
              (std::vector<std::string>{kSms + "var/utm/data/sessions/s1|3|echo [审计] payroll",
                                        kSms + "sms_20160901_s1|3|管理员 [审计] 日志"}));
    // Bytes that are no GBK stay visible as escapes, and are found as written.
    EXPECT_EQ(Search("\\xFF"),
              (std::vector<std::string>{kSms + "var/utm/data/sessions/s1|5|bad [\\xFF]\\xFE end"}));
    // A text on both sides of a page boundary of the scan viewer: lines 25 and 26.
    const std::string v1 = std::string(kMain) +
                           "|Graphical sessions|2016-09-04 10:00:00|李四|admin|"
                           "var/utm/data/sessions/v1_a.txt|";
    EXPECT_EQ(Search("page-edge"),
              (std::vector<std::string>{v1 + "25|[PAGE-EDGE]-ONE", v1 + "26|[PAGE-EDGE]-TWO"}));
    // A match 300,000 bytes into its line is shown with what surrounds it.
    const std::vector<std::string> needle = Search("NEEDLE-IN-LONG");
    ASSERT_EQ(needle.size(), 1u);
    EXPECT_NE(needle[0].find("|1|…zzzz"), std::string::npos) << needle[0];
    EXPECT_NE(needle[0].find("zz[NEEDLE-IN-LONG]"), std::string::npos);
    EXPECT_LT(needle[0].size(), 600u);
    // Nothing outside the package, and a text nowhere.
    EXPECT_TRUE(Search("OUTSIDE-SECRET").empty());
    EXPECT_EQ(Status(), "No line of the searched sessions contains this text.");
    // At most 1,000 hits are listed, all counted.
    EXPECT_EQ(Search("repeat-me").size(), 1000u);
    EXPECT_EQ(Status(), "1,500 lines found; the first 1,000 are shown.");
}

TEST_F(FindWindowTest, ScopeIsTheOpenPackageOrEveryImportedOneNewestFirst) {
    ImportMain();
    ImportNewer();  // now the open package
    m_pDlg->show();
    QApplication::setActiveWindow(m_pDlg.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pDlg.get()));
    QTest::keyClick(m_pDlg.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(Window().isVisible());

    const std::vector<std::string> open = Search("payroll", 0);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].substr(0, open[0].find('|')), kNewer);
    const std::vector<std::string> all = Search("payroll", 1);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].substr(0, all[0].find('|')), kNewer);
    EXPECT_EQ(all[1].substr(0, all[1].find('|')), kMain);
    EXPECT_EQ(Status(), "4 lines found.");
}

TEST_F(FindWindowTest, ASearchBeforeTheIndexIsCompleteSaysHowFarItIs) {
    ImportMain();
    // As a build in progress records itself.
    sqlite3* db = nullptr;
    const std::string index = WorkFolderOf(kMain) + "/" + kMain + "index.db";
    ASSERT_EQ(sqlite3_open(index.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE build_state SET status = 'building', done = 21, total = 50",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    Window().Activate();
    EXPECT_EQ(Search("payroll").size(), 3u);  // what it has written is searched
    EXPECT_EQ(Status(), "3 lines found.\nThe text index of " + std::string(kMain) +
                            " is still being built (42%); lines it has not reached are missing.");

    fs::remove(index);
    EXPECT_TRUE(Search("payroll").empty());
    EXPECT_EQ(Status(), "No line of the searched sessions contains this text.\nThe text index of " +
                            std::string(kMain) +
                            " is not complete (not built yet, stopped or failed); lines may be "
                            "missing.");
}

TEST_F(FindWindowTest, AHitStartsItsSessionsPlayerAsTheListWould) {
    ImportMain();
    for (const char* player : {"Morvel", "Tessiv", "Ondrix"}) InstallProbe(player);
    Window().Activate();

    // A scan line opens Morvel at it, with the text to find as its fifth field.
    ASSERT_EQ(Search("page-edge").size(), 2u);
    EnterOn(1);
    EXPECT_EQ(ProbeArgs("Morvel"),
              "Morvel\n~1 ~1001 ~v1 ~" + std::string(kMain) + " ~find:25:page-edge\n");
    // A double-click does the same; Chinese travels escaped.
    ASSERT_EQ(Search("财务系统").size(), 1u);
    emit Window().m_list->doubleClicked(Window().m_pModel->index(0, 3));
    EXPECT_EQ(ProbeArgs("Morvel"), "Morvel\n~0 ~1002 ~a1 ~" + std::string(kMain) +
                                       " ~find:0:%E8%B4%A2%E5%8A%A1%E7%B3%BB%E7%BB%9F\n");

    // A terminal row of a character session starts the first action cell's player.
    ASSERT_EQ(Search("passwd").size(), 1u);
    EnterOn(0);
    EXPECT_EQ(ProbeArgs("Tessiv"),
              "Tessiv\n~" + WorkFolderOf(kMain) + "/" + kMain + "child.db ~sms_20160901_s1\n");
    // A graphical session's scan-table row starts its recording's player, which refuses a
    // session whose recording is missing, as the list does.
    ASSERT_EQ(Search("确定").size(), 1u);
    EnterOn(0);
    ASSERT_EQ(m_prompts.m_messages.size(), 1);
    EXPECT_EQ(m_prompts.m_messages[0], ResString(139));
    m_prompts.m_messages.clear();

    // While the package's load has not ended, a character session's hit says so.
    for (stateData& state : Peek(*m_pDlg).m_states) state.bDone = false;
    ASSERT_EQ(Search("passwd").size(), 1u);
    EnterOn(0);
    ASSERT_EQ(m_prompts.m_messages.size(), 1);
    EXPECT_EQ(m_prompts.m_messages[0], ResString(162));
    EXPECT_FALSE(fs::exists(m_strProgram + "/Tessiv.args"));
    // Text of no listed session starts nothing.
    ASSERT_EQ(Search("orphan scan").size(), 1u);
    EnterOn(0);
    EXPECT_EQ(m_prompts.m_messages.size(), 1);
}

TEST_F(FindWindowTest, TheRealMorvelStartsFromAHitAndEndsWithTavrin) {
    ImportMain();
    for (const char* file : {"Morvel", "Morvel_en.rcc", "Morvel_zh.rcc"})
        fs::copy_file(std::string(TAVRIN_TEST_PROGRAM_DIR) + "/" + file, m_strProgram + "/" + file,
                      fs::copy_options::overwrite_existing);
    Window().Activate();
    ASSERT_EQ(Search("PAGE-EDGE-TWO").size(), 1u);
    EnterOn(0);
    // The viewer runs and registers.
    const fs::path registry = m_strProgram + "/processid";
    for (int i = 0; i < 3000 && fs::is_empty(registry); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_FALSE(fs::is_empty(registry));
    const int pid = std::stoi(fs::directory_iterator(registry)->path().filename().string());
    auto handle = platform::OpenProcessHandle(pid);
    ASSERT_TRUE(handle);
    EXPECT_TRUE(platform::ProcessIsAlive(*handle));
    // Closing Tavrin stops it through the registry.
    m_pDlg->close();
    EXPECT_TRUE(platform::WaitProcessEnd(*handle, 10000));
}

TEST_F(FindWindowTest, ClosingTheMainDialogStopsTheSearchAndTheWindow) {
    ImportMain();
    Window().Activate();
    Window().m_editText->setText(QStringLiteral("repeat-me"));
    Window().OnFind();
    EXPECT_TRUE(Window().IsSearching());
    m_pDlg->close();
    EXPECT_FALSE(Window().IsSearching());
    EXPECT_FALSE(Window().isVisible());
    // No result arrives afterwards.
    QSignalSpy finished(&Window(), &CFindSessionsDlg::SearchFinished);
    QTest::qWait(200);
    EXPECT_TRUE(finished.isEmpty());
}

}  // namespace ui
