// Player dispatch and close handling driven through the real main dialog, offscreen, in a
// program folder of the test's own: real child processes (the test probe and the stand-in
// players), real imports with the real archiver, real files.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <list>
#include <thread>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "common/db_handle.h"
#include "common/qt/lang_module.h"
#include "common/testing/fake_user_prompts.h"
#include "platform/process_control.h"
#include "platform/spawn.h"
#include "platform/termination_signals.h"
#include "tavrin/browser/row_fill.h"
#include "tavrin/testing/import_test_util.h"
#include "tavrin/testing/main_dialog_test_support.h"
#include "tavrin/testing/tavrin_dlg_test_access.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/res_string.h"

namespace ui {

namespace {

namespace fs = std::filesystem;
using package_import::test::CTempFolder;
using package_import::test::SamplePackage;
using test::CMainDialogTest;
using test::Peek;

class PlayersDialogTest : public CMainDialogTest {
  protected:
    void TearDown() override {
        fs::remove(m_strProgram + "/probe_stay");
        for (auto& handle : m_children) {
            if (!platform::WaitProcessEnd(handle, 5000) && fs::exists(m_strProgram)) {
                // Only a child of this test, checked through its handle, is ever stopped here.
                platform::SignalProcess(handle, platform::KillSignal());
                platform::WaitProcessEnd(handle, 5000);
            }
        }
        CMainDialogTest::TearDown();
    }

    // Copies the probe into the program folder under a player's name.
    void InstallProbe(const std::string& name) {
        fs::copy_file(PLAYER_PROBE_PATH, m_strProgram + "/" + name,
                      fs::copy_options::overwrite_existing);
    }
    // The command line the probe named name was started with ("" until it has written it).
    std::string ProbeArgs(const std::string& name) {
        const std::string file = m_strProgram + "/" + name + ".args";
        for (int i = 0; i < 500 && !fs::exists(file); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::string text = package_import::test::ReadFile(file);
        fs::remove(file);
        return text;
    }
    size_t RegistrySize() {
        const fs::path registry = m_strProgram + "/processid";
        return std::distance(fs::directory_iterator(registry), fs::directory_iterator());
    }

    // Starts program (in the program folder) registered as a player would be, and keeps its
    // handle for the checks and for the clean-up.
    platform::ProcessHandle* StartRegistered(const std::string& name,
                                             const std::vector<std::string>& argv) {
        const int pid = platform::SpawnDetached(m_strProgram + "/" + name, argv);
        EXPECT_GT(pid, 0);
        auto handle = platform::OpenProcessHandle(pid);
        if (!handle) return nullptr;
        const std::string entry = m_strProgram + "/processid/" + std::to_string(pid);
        for (int i = 0; i < 1000 && !fs::exists(entry) && platform::ProcessIsAlive(*handle); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(fs::exists(entry)) << name << " did not register";
        m_children.push_back(std::move(*handle));
        return &m_children.back();
    }
    void AddCharRow(const StringData& data, const QString& lines) {
        CSessionTableModel::Cells cells;
        cells[7] = lines;
        Peek(*m_pDlg).m_list->Model().AppendCharRow(cells, lines.toInt(), data);
    }

    std::list<platform::ProcessHandle> m_children;  // stable addresses for the tests
};

TEST_F(PlayersDialogTest, DoubleClicksOnGraphicRowsStartTheirPlayersWithTheirArguments) {
    for (const char* name : {"Ondrix", "Morvel", "Rivosk"}) InstallProbe(name);
    CListCtrlEx& list = *Peek(*m_pDlg).m_list;
    list.SetGraphicLayout();
    list.m_nKind = 1;
    Peek(*m_pDlg).m_strPackageName = "P";
    drpData data;
    data.strPath = QString::fromStdString(m_strProgram + "/P/var/utm/data/sessions/r1");
    data.strPathBytes = m_strProgram + "/P/var/utm/data/sessions/r1";
    data.nWidth = 1024;
    data.nHeight = 768;
    data.strName = "r1";
    data.nCode = 17;
    list.Model().AppendGraphicRow({}, data);

    // The players read the recording file; it must be there.
    package_import::test::WriteFile(m_strProgram + "/P/var/utm/data/sessions/r1.rec", "recording");

    // Morvel reads the package's Parent.db: it waits for the package's loads (string 162).
    list.OnDblClick(0, 9);
    EXPECT_EQ(m_prompts.m_messages, QStringList{ResString(162)});
    m_prompts.m_messages.clear();
    Peek(*m_pDlg).m_states.push_back({"P", true});
    for (int column = 0; column <= 7; ++column) list.OnDblClick(0, column);
    list.OnDblClick(-1, 9);  // below the last row
    list.OnDblClick(5, 9);   // a row without a record
    EXPECT_TRUE(m_prompts.m_messages.isEmpty());
    EXPECT_FALSE(fs::exists(m_strProgram + "/Morvel.args"));

    list.OnDblClick(0, 9);
    EXPECT_EQ(ProbeArgs("Morvel"), "Morvel\n~1 ~17 ~r1 ~P\n");
    list.OnDblClick(0, 8);
    EXPECT_EQ(ProbeArgs("Ondrix"),
              "Ondrix\n~" + m_strProgram + "/P/var/utm/data/sessions/r1 ~1024 ~768\n");
    list.OnDblClick(0, 10);
    EXPECT_EQ(ProbeArgs("Rivosk"),
              "Rivosk\n~" + m_strProgram + "/P/var/utm/data/sessions/r1 ~1024 ~768 ~P\n");
    EXPECT_TRUE(m_prompts.m_messages.isEmpty());
}

// Recording names and session keys that are no valid GBK reach the players, and the size
// query, as the bytes the package holds: they name its files and its tables.
TEST_F(PlayersDialogTest, NamesFromRowsTravelAsThePackagesBytes) {
    for (const char* name : {"Morvel", "Ondrix", "Tessiv", "OndrixS"}) InstallProbe(name);
    CListCtrlEx& list = *Peek(*m_pDlg).m_list;
    Peek(*m_pDlg).m_strPackageName = "P";
    const std::string sessions = m_strProgram + "/P/var/utm/data/sessions/";
    const std::string name =
        "r\xFF"
        "1";
    package_import::test::WriteFile(sessions + name + ".rec", "recording");
    const browser::RowPlace place{m_strProgram + "/P"};

    std::vector<std::string> graphic = {"0", "17", "",     "",    "", "", "",
                                        "",  name, "1024", "768", "", "", ""};
    std::vector<char*> argv;
    for (std::string& field : graphic) argv.push_back(field.data());
    browser::GraphicRow row =
        browser::BuildGraphicRow(place, static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(row.record.strNameBytes, name);
    list.SetGraphicLayout();
    list.m_nKind = 1;
    list.Model().AppendGraphicRow({}, row.record);
    Peek(*m_pDlg).m_states.push_back({"P", true});  // loaded
    list.OnDblClick(0, 9);
    EXPECT_EQ(ProbeArgs("Morvel"), "Morvel\n~1 ~17 ~" + name + " ~P\n");
    list.OnDblClick(0, 8);
    EXPECT_EQ(ProbeArgs("Ondrix"), "Ondrix\n~" + sessions + name + " ~1024 ~768\n");

    const std::string key =
        "a_b_s\xFF"
        "9";
    package_import::test::WriteFile(sessions +
                                        "s\xFF"
                                        "9",
                                    "session");
    DbHandle child;
    ASSERT_EQ(OpenDbHandle(child, m_strProgram + "/P/Pchild.db"), 0);
    const std::string sql = "create table \"" + key +
                            "\"(c0,c1,c2,c3,c4,c5,c6,c7,c8,c9,c10,flag);insert into \"" + key +
                            "\" values(0,1,2,3,4,5,6,7,8,9,'0006000200',1000);";
    ASSERT_EQ(sqlite3_exec(child.db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    std::vector<std::string> charRow(13);
    charRow[8] = key;
    argv.clear();
    for (std::string& field : charRow) argv.push_back(field.data());
    browser::CharRow crow =
        browser::BuildCharRow(place, static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(crow.record.strKeyBytes, key);
    list.SetCharLayout();
    list.ClearRows();
    Peek(*m_pDlg).m_states.push_back({"P", true});
    Peek(*m_pDlg).m_pChildDb = &child;
    AddCharRow(crow.record, "5");
    list.OnDblClick(0, 8);
    EXPECT_EQ(ProbeArgs("Tessiv"), "Tessiv\n~" + m_strProgram + "/P/Pchild.db ~" + key + "\n");
    testing::internal::CaptureStdout();
    list.OnDblClick(0, 10);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "w = 200,h = 60\n");
    EXPECT_EQ(ProbeArgs("OndrixS"), "OndrixS\n~" + sessions +
                                        "s\xFF"
                                        "9 ~200 ~60\n");
    Peek(*m_pDlg).m_pChildDb = nullptr;
    EXPECT_TRUE(m_prompts.m_messages.isEmpty());
}

TEST_F(PlayersDialogTest, DoubleClicksOnCharacterRowsCheckReadinessAndFilesFirst) {
    for (const char* name : {"Tessiv", "Fennic", "OndrixS"}) InstallProbe(name);
    CListCtrlEx& list = *Peek(*m_pDlg).m_list;
    Peek(*m_pDlg).m_strPackageName = "P";
    const std::string sessions = m_strProgram + "/P/var/utm/data/sessions/";
    fs::create_directories(sessions);
    StringData data;
    data.strKey = "a_b_s9";
    AddCharRow(data, "0");
    data.strPath2 = "second";
    data.strPath2Bytes = sessions + "second";
    AddCharRow(data, "12");

    // No ticker entry, then a loading one: string 162 whatever the column.
    for (int column : {0, 8, 9, 10}) list.OnDblClick(1, column);
    Peek(*m_pDlg).m_states.push_back({"P", false});
    list.OnDblClick(1, 3);
    ASSERT_EQ(m_prompts.m_messages.size(), 5);
    for (const QString& message : m_prompts.m_messages) EXPECT_EQ(message, ResString(162));
    m_prompts.m_messages.clear();

    Peek(*m_pDlg).m_states.back().bDone = true;
    list.OnDblClick(0, 8);   // no lines
    list.OnDblClick(0, 9);   // no second file
    list.OnDblClick(1, 10);  // no session file
    EXPECT_EQ(m_prompts.m_messages, (QStringList{ResString(139), ResString(140), ResString(139)}));
    m_prompts.m_messages.clear();

    list.OnDblClick(1, 8);
    EXPECT_EQ(ProbeArgs("Tessiv"), "Tessiv\n~" + m_strProgram + "/P/Pchild.db ~a_b_s9\n");
    list.OnDblClick(1, 9);
    EXPECT_EQ(ProbeArgs("Fennic"), "Fennic\n" + sessions + "second\n");
    package_import::test::WriteFile(sessions + "s9", "content");
    testing::internal::CaptureStdout();
    list.OnDblClick(1, 10);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "w = 100,h = 30\n");
    EXPECT_EQ(ProbeArgs("OndrixS"), "OndrixS\n~" + sessions + "s9 ~100 ~30\n");
    EXPECT_TRUE(m_prompts.m_messages.isEmpty());
}

TEST_F(PlayersDialogTest, CloseEndsPlayersDeletesEveryWorkFolderAndEmptiesTheRegistry) {
    SamplePackage a = package_import::test::MakeSamplePackage(m_tmp / "a", {"--prefix", "first"});
    SamplePackage b = package_import::test::MakeSamplePackage(
        m_tmp / "b", {"--prefix", "second", "--start", "2017-01-01", "--end", "2017-01-05"});
    Open(a.strTar);
    Open(b.strTar);
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(a.strName)));
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(b.strName)));
    const std::string workA = m_strProgram + "/" + a.strName;
    const std::string workB = m_strProgram + "/" + b.strName;
    ASSERT_TRUE(fs::is_directory(workA));
    ASSERT_TRUE(fs::is_directory(workB));

    // A read-only file and a link to a folder outside, inside the work folders.
    package_import::test::WriteFile(workA + "/readonly.txt", "x");
    fs::permissions(workA + "/readonly.txt", fs::perms::owner_read);
    const std::string outside = m_tmp / "outside";
    package_import::test::WriteFile(outside + "/keep.txt", "keep");
    fs::create_directory_symlink(outside, workB + "/var/link_out");

    // A stand-in player and a viewer-like program of this installation, both registered.
    fs::copy_file(STAND_IN_DIR "/OndrixS", m_strProgram + "/OndrixS");
    platform::ProcessHandle* player = StartRegistered("OndrixS", {"OndrixS", "~x ~100 ~30"});
    InstallProbe("Morvel");
    package_import::test::WriteFile(m_strProgram + "/probe_stay", "");
    platform::ProcessHandle* viewer = StartRegistered("Morvel", {"Morvel", "~1 ~17 ~r1 ~P"});
    ASSERT_TRUE(player && viewer);
    // An unrelated program whose identifier was left in the registry stays running.
    int other = platform::SpawnDetached("/bin/sleep", {"sleep", "20"});
    auto otherHandle = platform::OpenProcessHandle(other);
    ASSERT_TRUE(otherHandle);
    package_import::test::WriteFile(m_strProgram + "/processid/" + std::to_string(other), "");

    m_pDlg->OnClose();

    EXPECT_TRUE(platform::WaitProcessEnd(*player, 3000));
    EXPECT_TRUE(platform::WaitProcessEnd(*viewer, 3000));
    EXPECT_FALSE(fs::exists(workA));
    EXPECT_FALSE(fs::exists(workB));
    EXPECT_EQ(RegistrySize(), 0u);
    EXPECT_TRUE(fs::exists(outside + "/keep.txt"));
    EXPECT_TRUE(Peek(*m_pDlg).m_packages.empty());
    EXPECT_EQ(Peek(*m_pDlg).m_pChildDb, nullptr);
    EXPECT_EQ(Peek(*m_pDlg).m_hTimeThread, nullptr);
    EXPECT_TRUE(platform::ProcessIsAlive(*otherHandle));
    m_children.push_back(std::move(*otherHandle));  // ended by TearDown
    // A second close request (a late signal) does nothing.
    m_pDlg->OnClose();
}

TEST_F(PlayersDialogTest, TerminationSignalRunsTheSameCloseOnTheUserInterfaceThread) {
    SamplePackage a = package_import::test::MakeSamplePackage(m_tmp / "a");
    Open(a.strTar);
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(a.strName)));
    const std::string work = m_strProgram + "/" + a.strName;
    InstallProbe("Rivosk");
    package_import::test::WriteFile(m_strProgram + "/probe_stay", "");
    platform::ProcessHandle* player = StartRegistered("Rivosk", {"Rivosk", "~x"});
    ASSERT_TRUE(player);

    m_pDlg->show();  // the watch starts with the first shown main dialog
    QApplication::processEvents();
    ASSERT_TRUE(platform::RaiseSignal(platform::SigTerm()));
    QElapsedTimer timer;
    timer.start();
    while (fs::exists(work) && timer.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);

    EXPECT_FALSE(fs::exists(work));
    EXPECT_TRUE(platform::WaitProcessEnd(*player, 3000));
    EXPECT_EQ(RegistrySize(), 0u);
    EXPECT_FALSE(m_pDlg->isVisible());
}

TEST_F(PlayersDialogTest, CloseDuringABackgroundLoadStopsItPromptly) {
    SamplePackage big = package_import::test::MakeSamplePackage(
        m_tmp / "big", {"--terminal-rows", "300000", "--rows-per-insert", "1"});
    Open(big.strTar);
    const std::string work = m_strProgram + "/" + big.strName;
    ASSERT_TRUE(fs::is_directory(work));
    bool loading = false;
    for (const stateData& s : Peek(*m_pDlg).m_states) loading = loading || !s.bDone;
    EXPECT_TRUE(loading) << "the load ended before the close; make the package bigger";

    QElapsedTimer timer;
    timer.start();
    testing::internal::CaptureStdout();
    m_pDlg->OnClose();
    testing::internal::GetCapturedStdout();
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_FALSE(fs::exists(work));
    // Events the stopped loader posted are still delivered safely.
    QApplication::processEvents();
}

}  // namespace

}  // namespace ui
