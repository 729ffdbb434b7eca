// The import driven through the real main dialog, offscreen, with the fake open-file dialog,
// the real archiver and real SQLite files, in a program folder of the test's own.
#include <chrono>
#include <filesystem>
#include <memory>
#include <set>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "common/qt/lang_module.h"
#include "common/testing/fake_user_prompts.h"
#include "platform/disk_space.h"
#include "tavrin/browser/loaded_tables.h"
#include "tavrin/find/find_strings.h"
#include "tavrin/find/session_search.h"
#include "tavrin/testing/import_test_util.h"
#include "tavrin/testing/main_dialog_test_support.h"
#include "tavrin/testing/tavrin_dlg_test_access.h"
#include "tavrin/ui/audit_combo_box.h"
#include "tavrin/ui/background_load.h"
#include "tavrin/ui/dialog_aids.h"
#include "tavrin/ui/dialog_events.h"
#include "tavrin/ui/dialog_strings.h"
#include "tavrin/ui/import_progress_dialog.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/load_report_strings.h"
#include "tavrin/ui/package_combo_box.h"
#include "tavrin/ui/res_string.h"
#include "tavrin/workspace/package_flags.h"

namespace ui {

namespace {

namespace fs = std::filesystem;
using package_import::test::CTempFolder;
using package_import::test::SamplePackage;
using test::CMainDialogTest;
using test::Peek;

using ImportDialogTest = CMainDialogTest;

// One package imported and loaded, and a second one made but not imported yet: where every
// test of an import stopped half-way starts.
class ImportStopTest : public CMainDialogTest {
  protected:
    void SetUp() override {
        CMainDialogTest::SetUp();
        m_first = package_import::test::MakeSamplePackage(m_tmp / "in");
        Open(m_first.strTar);
        ASSERT_TRUE(WaitForLoad(QString::fromStdString(m_first.strName)));
        m_second = package_import::test::MakeSamplePackage(m_tmp / "slow", {"--prefix", "slow"});
    }

    SamplePackage m_first;
    SamplePackage m_second;
};

TEST_F(ImportDialogTest, ImportsAPackageShowsItsFirstPageAndMarksItLoaded) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    Open(package.strTar);
    CTavrinDlg& dlg = *m_pDlg;
    const QString name = QString::fromStdString(package.strName);

    ASSERT_TRUE(m_prompts.m_messages.isEmpty()) << m_prompts.m_messages.join("|").toStdString();
    EXPECT_EQ(Peek(dlg).m_strPackagePath, QString::fromStdString(package.strTar));
    EXPECT_EQ(Peek(dlg).m_strPackageName, name);
    EXPECT_EQ(Peek(dlg).m_strStartDate, "2016-09-01");
    EXPECT_EQ(Peek(dlg).m_strEndDate, "2016-09-10");
    ASSERT_NE(Peek(dlg).m_pParentDb, nullptr);
    ASSERT_NE(Peek(dlg).m_pChildDb, nullptr);

    // The first page of unix_sms_log: 40 rows give 3 pages.
    EXPECT_EQ(dlg.Browser().Table(), "unix_sms_log");
    EXPECT_EQ(dlg.Browser().Screen().page.nTotalRows, package.parent["unix_sms_log"]);
    EXPECT_EQ(dlg.Browser().Screen().page.nPageCount, package.parent["unix_sms_log"] / 15 + 1);
    EXPECT_EQ(dlg.Browser().Screen().page.nCurPage, 1);
    EXPECT_EQ(Peek(dlg).m_list->RowCount(), 15);
    EXPECT_TRUE(Peek(dlg).m_staticTotal->text().contains(
        QString::number(dlg.Browser().Screen().page.nTotalRows)));
    EXPECT_FALSE(Peek(dlg).m_btnPrev->isEnabled());
    EXPECT_TRUE(Peek(dlg).m_btnNext->isEnabled());
    EXPECT_EQ(Peek(dlg).m_comboAudit->currentIndex(), 3);
    EXPECT_EQ(Peek(dlg).m_comboAudit->count(), 5);  // the package has vsms_xapp_tab data
    EXPECT_EQ(Peek(dlg).m_comboAudit->itemText(4), ResString(161));
    EXPECT_TRUE(g_bHasTabTable);
    EXPECT_TRUE(g_bHasMatrixTable);

    // Controls are free again; the package is listed and ticking.
    EXPECT_TRUE(Peek(dlg).m_btnOpen->isEnabled());
    EXPECT_TRUE(Peek(dlg).m_btnSearch->isEnabled());
    EXPECT_TRUE(Peek(dlg).m_comboPackage->isEnabled());
    ASSERT_EQ(Peek(dlg).m_comboPackage->count(), 1);
    EXPECT_EQ(Peek(dlg).m_comboPackage->itemText(0), name);
    ASSERT_EQ(Peek(dlg).m_packages.size(), 1u);
    ASSERT_EQ(Peek(dlg).m_states.size(), 1u);
    dlg.OnTick();
    EXPECT_EQ(Peek(dlg).m_strStatus, name + " " + ResString(150));

    ASSERT_TRUE(WaitForLoad(name));
    // Then the package's text index, on its own thread, with its own ticker text.
    Peek(dlg).m_indexes.WaitIdle();
    dlg.OnTick();
    EXPECT_EQ(Peek(dlg).m_strStatus,
              name + " " + ResString(151) + ResString(session_index::kStrIndexBuilt));
    EXPECT_EQ(session_index::ReadIndexState(WorkFolder(package)).status,
              session_index::IndexStatus::kBuilt);

    auto parent = package_import::test::TableCounts(WorkFolder(package) + "/" + package.strName +
                                                    "Parent.db");
    for (const auto& [table, rows] : package.parent) EXPECT_EQ(parent[table], rows) << table;
    EXPECT_EQ(
        package_import::test::TableCounts(WorkFolder(package) + "/" + package.strName + "child.db"),
        package.child);
}

// While the dumps after unix_sms_log still load, a view that needs one says it is loading (no
// "0 sessions"), the export refuses it, Morvel waits for the package; the view shows once its
// table is in. The sample loads too fast to catch in the act, so the window is put back into
// that state with a load that has only the first table in.
TEST_F(ImportDialogTest, AViewWhoseDumpIsStillLoadingSaysSoAndShowsOnceLoaded) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    Open(package.strTar);
    CTavrinDlg& dlg = *m_pDlg;
    const QString name = QString::fromStdString(package.strName);
    ASSERT_TRUE(WaitForLoad(name));
    auto tables = std::make_shared<browser::CLoadedTables>(std::set<std::string>{"unix_sms_log"});
    Peek(dlg).m_loads.KeepLoadedTables(package.strName, tables);
    for (stateData& state : Peek(dlg).m_states) state.bDone = false;
    ASSERT_TRUE(dlg.OpenPackage(name));
    EXPECT_EQ(dlg.Browser().Screen().page.nTotalRows, package.parent["unix_sms_log"]);
    EXPECT_EQ(Peek(dlg).m_list->RowCount(), 15);

    dlg.OnAuditTypeChange(browser::AuditView::XappLog);
    EXPECT_TRUE(dlg.Browser().Screen().bLoading);
    EXPECT_EQ(Peek(dlg).m_list->RowCount(), 0);
    EXPECT_EQ(Peek(dlg).m_staticTotal->text(), ResString(kStrViewLoading));
    EXPECT_TRUE(Peek(dlg).m_staticPages->text().isEmpty());
    EXPECT_FALSE(Peek(dlg).m_btnNext->isEnabled());
    Peek(dlg).m_pAuditorExtras->OnExport();
    ASSERT_FALSE(m_prompts.m_messages.isEmpty());
    EXPECT_EQ(m_prompts.m_messages.last(), ResString(kStrViewLoadingRefused));

    tables->MarkLoaded("unix_xapp_log");
    dlg.OnFirstPage();  // what the loader's notice of the table does
    EXPECT_FALSE(dlg.Browser().Screen().bLoading);
    EXPECT_EQ(dlg.Browser().Screen().page.nTotalRows, package.parent["unix_xapp_log"]);
    EXPECT_TRUE(
        Peek(dlg).m_staticTotal->text().contains(QString::number(package.parent["unix_xapp_log"])));
    ASSERT_GT(Peek(dlg).m_list->RowCount(), 0);
    m_prompts.m_messages.clear();
    Peek(dlg).m_list->OnDblClick(0, 9);  // Morvel reads the scan tables, not in yet
    EXPECT_EQ(m_prompts.m_messages, QStringList{ResString(162)});
}

TEST_F(ImportDialogTest, OpensAnImportedPackageAgainWithoutUnpacking) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    Open(package.strTar);
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(package.strName)));
    // A marker in the work folder survives only if nothing is unpacked again.
    package_import::test::WriteFile(WorkFolder(package) + "/marker", "kept");
    Peek(*m_pDlg).m_list->ClearRows();
    Open(package.strTar);
    EXPECT_EQ(m_strConsole.find("7z"), std::string::npos) << m_strConsole;
    EXPECT_EQ(package_import::test::ReadFile(WorkFolder(package) + "/marker"), "kept");
    EXPECT_EQ(Peek(*m_pDlg).m_packages.size(), 1u);
    EXPECT_EQ(Peek(*m_pDlg).m_comboPackage->count(), 1);
    EXPECT_EQ(Peek(*m_pDlg).m_list->RowCount(), 15);
    EXPECT_NE(Peek(*m_pDlg).m_pParentDb, nullptr);
}

TEST_F(ImportDialogTest, SwitchesBetweenTwoPackagesWithTheirOwnPagesNamesAndDates) {
    SamplePackage a = package_import::test::MakeSamplePackage(m_tmp / "a", {"--prefix", "first"});
    SamplePackage b = package_import::test::MakeSamplePackage(
        m_tmp / "b", {"--prefix", "second", "--sessions", "14", "--start", "2016-10-01", "--end",
                      "2016-10-05", "--no-tab"});
    Open(a.strTar);
    Open(b.strTar);
    CTavrinDlg& dlg = *m_pDlg;
    ASSERT_EQ(Peek(dlg).m_comboPackage->count(), 2);
    EXPECT_EQ(dlg.Browser().Screen().page.nTotalRows, 14);
    EXPECT_EQ(dlg.Browser().Screen().page.nPageCount, 1);
    EXPECT_FALSE(Peek(dlg).m_btnNext->isEnabled());
    EXPECT_FALSE(Peek(dlg).m_btnGoto->isEnabled());
    EXPECT_EQ(Peek(dlg).m_comboAudit->count(), 5);  // entry 161 stays, added once
    EXPECT_FALSE(g_bHasTabTable);

    Peek(dlg).m_comboPackage->setCurrentIndex(0);
    Peek(dlg).m_comboPackage->OnSelChange(0);
    EXPECT_EQ(Peek(dlg).m_strPackageName, QString::fromStdString(a.strName));
    EXPECT_EQ(Peek(dlg).m_strStartDate, "2016-09-01");
    EXPECT_EQ(dlg.Browser().Screen().page.nTotalRows, 40);
    EXPECT_EQ(Peek(dlg).m_list->RowCount(), 15);
    EXPECT_TRUE(g_bHasTabTable);
    EXPECT_EQ(Peek(dlg).m_pParentDb, Peek(dlg).m_packages.front().pParentDb.get());

    Peek(dlg).m_comboPackage->OnSelChange(1);
    EXPECT_EQ(Peek(dlg).m_strPackageName, QString::fromStdString(b.strName));
    EXPECT_EQ(Peek(dlg).m_strEndDate, "2016-10-05");
    EXPECT_EQ(dlg.Browser().Screen().page.nTotalRows, 14);
    EXPECT_EQ(Peek(dlg).m_list->RowCount(), 14);
    EXPECT_EQ(Peek(dlg).m_pChildDb, Peek(dlg).m_packages.back().pChildDb.get());

    // Both loads end, each marked on its own, and every connection stays usable.
    EXPECT_TRUE(WaitForLoad(QString::fromStdString(a.strName)));
    EXPECT_TRUE(WaitForLoad(QString::fromStdString(b.strName)));
    EXPECT_EQ(package_import::test::TableCounts(WorkFolder(a) + "/" + a.strName + "child.db"),
              a.child);
    EXPECT_EQ(package_import::test::TableCounts(WorkFolder(b) + "/" + b.strName + "child.db"),
              b.child);
    Peek(dlg).m_comboPackage->OnSelChange(0);
    EXPECT_EQ(Peek(dlg).m_list->RowCount(), 15);
}

TEST_F(ImportDialogTest, APackageWithoutApplicationRecordsAddsNoFifthAuditType) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in", {"--no-tab"});
    Open(package.strTar);
    EXPECT_EQ(Peek(*m_pDlg).m_comboAudit->count(), 4);
    EXPECT_FALSE(g_bHasTabTable);
    EXPECT_TRUE(g_bHasMatrixTable);
}

TEST_F(ImportDialogTest, RefusesThePackageWhenFreeSpaceIsExactlyOneAndAHalfTimesItsSize) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    auto size = fs::file_size(package.strTar);
    ASSERT_EQ(size % 2, 0u);  // tar files come in whole blocks, so 1.5 x is exact
    platform::SetFreeBytesOverride(size * 3 / 2);
    Open(package.strTar);
    ASSERT_EQ(m_prompts.m_messages.size(), 1);
    EXPECT_EQ(m_prompts.m_messages[0], ResString(142));
    EXPECT_FALSE(fs::exists(WorkFolder(package)));
    EXPECT_TRUE(Peek(*m_pDlg).m_packages.empty());
    EXPECT_TRUE(Peek(*m_pDlg).m_btnOpen->isEnabled());
    EXPECT_FALSE(Peek(*m_pDlg).m_btnSearch->isEnabled());

    platform::SetFreeBytesOverride(size * 3 / 2 + 1);
    Open(package.strTar);
    EXPECT_EQ(m_prompts.m_messages.size(), 1);
    EXPECT_EQ(Peek(*m_pDlg).m_packages.size(), 1u);
}

TEST_F(ImportDialogTest, ACorruptFileIsReportedAndLeavesNoWorkFolderAndNoPackageOpen) {
    SamplePackage good = package_import::test::MakeSamplePackage(m_tmp / "in");
    Open(good.strTar);
    ASSERT_NE(Peek(*m_pDlg).m_pParentDb, nullptr);
    std::string corrupt = m_tmp / "in/broken_log_2016-09-01_2016-09-10.tar";
    package_import::test::WriteFile(corrupt, std::string(20000, '\x01'));
    Open(corrupt);
    ASSERT_EQ(m_prompts.m_messages.size(), 1);
    EXPECT_EQ(m_prompts.m_messages[0], ResString(kStrNotReadablePackage));
    EXPECT_FALSE(fs::exists(m_strProgram + "/broken_log_2016-09-01_2016-09-10"));
    EXPECT_EQ(Peek(*m_pDlg).m_pParentDb, nullptr);
    EXPECT_EQ(Peek(*m_pDlg).m_pChildDb, nullptr);
    EXPECT_EQ(Peek(*m_pDlg).m_list->RowCount(), 0);
    EXPECT_TRUE(Peek(*m_pDlg).m_btnSearch->isEnabled());  // a package was imported in this run
    // The earlier package opens again from the selector.
    Peek(*m_pDlg).m_comboPackage->OnSelChange(0);
    EXPECT_EQ(Peek(*m_pDlg).m_list->RowCount(), 15);
}

TEST_F(ImportDialogTest, AnArchiverTooOldIsRefusedWithItsVersionAndNothingIsUnpacked) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    fs::remove(m_strProgram + "/7z");
    package_import::test::WriteFile(
        m_strProgram + "/7z",
        "#!/bin/sh\necho '7-Zip (z) 25.01 (x64) : Copyright (c) 1999-2025'\n");
    fs::permissions(m_strProgram + "/7z", fs::perms::owner_all);
    Open(package.strTar);
    ASSERT_EQ(m_prompts.m_messages.size(), 1);
    EXPECT_NE(m_prompts.m_messages[0].indexOf(QStringLiteral("25.01")), -1);
    EXPECT_EQ(m_prompts.m_messages[0],
              ResString(kStrArchiverTooOld).replace(QStringLiteral("%s"), QStringLiteral("25.01")));
    EXPECT_FALSE(fs::exists(WorkFolder(package)));
    EXPECT_EQ(Peek(*m_pDlg).m_pParentDb, nullptr);
    EXPECT_TRUE(Peek(*m_pDlg).m_btnOpen->isEnabled());
}

TEST_F(ImportDialogTest, ADamagedPackageIsImportedWithAWarning) {
    SamplePackage package =
        package_import::test::MakeSamplePackage(m_tmp / "in", {"--prefix", "cut"});
    std::string bytes = package_import::test::ReadFile(package.strTar);
    package_import::test::WriteFile(package.strTar, bytes.substr(0, bytes.size() * 2 / 3 + 100));
    Open(package.strTar);
    // The damaged package is said first; that its tables are short may follow, now or once
    // child.db's background load ends.
    ASSERT_GE(m_prompts.m_messages.size(), 1);
    EXPECT_EQ(m_prompts.m_messages[0], ResString(kStrPackageDamaged));
    EXPECT_EQ(m_pDlg->Browser().Screen().page.nTotalRows, package.parent["unix_sms_log"]);
    EXPECT_EQ(Peek(*m_pDlg).m_packages.size(), 1u);
}

TEST_F(ImportDialogTest, ALeftoverWorkFolderIsOfferedForDeletionAndDecliningChangesNothing) {
    SamplePackage first =
        package_import::test::MakeSamplePackage(m_tmp / "a", {"--prefix", "first"});
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    Open(first.strTar);
    ASSERT_EQ(Peek(*m_pDlg).m_packages.size(), 1u);
    const QString openName = Peek(*m_pDlg).m_strPackageName;
    const QString openPath = Peek(*m_pDlg).m_strPackagePath;
    const QString total = Peek(*m_pDlg).m_staticTotal->text();

    // A work folder left by a run that was killed: the user is asked, and says no.
    package_import::test::WriteFile(WorkFolder(package) + "/var/left", "left");
    Open(package.strTar);
    ASSERT_EQ(m_prompts.m_questions, QStringList{ResString(kStrLeftoverWorkFolder)});
    EXPECT_TRUE(m_prompts.m_messages.isEmpty());
    EXPECT_EQ(package_import::test::ReadFile(WorkFolder(package) + "/var/left"), "left");
    EXPECT_EQ(Peek(*m_pDlg).m_strPackageName, openName);
    EXPECT_EQ(Peek(*m_pDlg).m_strPackagePath, openPath);
    EXPECT_EQ(Peek(*m_pDlg).m_staticTotal->text(), total);
    EXPECT_EQ(Peek(*m_pDlg).m_list->RowCount(), 15);
    EXPECT_NE(Peek(*m_pDlg).m_pParentDb, nullptr);
    EXPECT_EQ(Peek(*m_pDlg).m_packages.size(), 1u);
    EXPECT_EQ(m_strConsole.find("7z"), std::string::npos) << m_strConsole;

    // Yes: the folder goes and the package is imported afresh.
    m_prompts.m_yesNoAnswers << true;
    Open(package.strTar);
    EXPECT_EQ(m_prompts.m_questions.size(), 2);
    EXPECT_TRUE(m_prompts.m_messages.isEmpty()) << m_prompts.m_messages.join("|").toStdString();
    EXPECT_FALSE(fs::exists(WorkFolder(package) + "/var/left"));
    ASSERT_EQ(Peek(*m_pDlg).m_packages.size(), 2u);
    EXPECT_EQ(m_pDlg->Browser().Screen().page.nTotalRows, package.parent["unix_sms_log"]);
    // Imported in this run: opened again without a question, and never deleted by the button.
    Open(package.strTar);
    EXPECT_EQ(m_prompts.m_questions.size(), 2);
    m_pDlg->OnDeletePackage();
    EXPECT_TRUE(fs::exists(WorkFolder(package)));
}

TEST_F(ImportDialogTest, ANameTakenByALinkOrByTheProgramFolderIsRefusedAndNothingIsDeleted) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    // A link where the work folder goes, to a folder outside: never used, never deleted.
    package_import::test::WriteFile(m_tmp / "outside/keep", "keep");
    fs::create_directory_symlink(m_tmp / "outside", WorkFolder(package));
    Open(package.strTar);
    EXPECT_EQ(m_prompts.m_messages, QStringList{ResString(kStrNotReadablePackage)});
    EXPECT_TRUE(m_prompts.m_questions.isEmpty());
    EXPECT_TRUE(fs::is_symlink(WorkFolder(package)));
    EXPECT_EQ(package_import::test::ReadFile(m_tmp / "outside/keep"), "keep");
    m_pDlg->OnDeletePackage();
    EXPECT_TRUE(fs::is_symlink(WorkFolder(package)));

    // A package named like the registry folder.
    m_prompts.m_messages.clear();
    const std::string registry = m_strProgram + "/processid";
    package_import::test::WriteFile(registry + "/123", "");
    fs::copy_file(package.strTar, m_tmp / "in/processid.tar");
    Open(m_tmp / "in/processid.tar");
    EXPECT_EQ(m_prompts.m_messages, QStringList{ResString(kStrNotReadablePackage)});
    m_pDlg->OnDeletePackage();
    EXPECT_TRUE(fs::exists(registry + "/123"));
    EXPECT_EQ(Peek(*m_pDlg).m_pParentDb, nullptr);
}

TEST_F(ImportDialogTest, ImportsThePackageGivenOnTheCommandLine) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    testing::internal::CaptureStdout();
    m_pDlg->ImportPackageFile(QString::fromStdString(package.strTar));
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(m_prompts.m_filters.isEmpty());  // no open-file dialog
    EXPECT_EQ(Peek(*m_pDlg).m_packages.size(), 1u);
    EXPECT_EQ(Peek(*m_pDlg).m_list->RowCount(), 15);
    EXPECT_TRUE(Peek(*m_pDlg).m_btnOpen->isEnabled());
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(package.strName)));
    Peek(*m_pDlg).m_indexes.WaitIdle();  // its text index is written into the folder removed below

    // tavrin-import on a copy of the same package builds the same databases.
    std::string copyFolder = m_tmp / "copy";
    fs::create_directories(copyFolder);
    std::string copy = copyFolder + "/" + package.strName + ".tar";
    fs::copy_file(package.strTar, copy);
    std::string dialogParent = WorkFolder(package) + "/" + package.strName + "Parent.db";
    std::string dialogChild = WorkFolder(package) + "/" + package.strName + "child.db";
    auto parentContent = package_import::test::DatabaseContent(dialogParent);
    auto childContent = package_import::test::DatabaseContent(dialogChild);
    fs::remove_all(WorkFolder(package));  // the command would leave an existing folder alone

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    auto r = platform::SpawnAndWait(std::string(TAVRIN_TEST_PROGRAM_DIR) + "/tavrin-import",
                                    {"tavrin-import", copy});
    std::string out = testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitStatus, 0) << out;
    // The command inherits the test's program folder (TAVRIN_PROGRAM_DIR) and imports there.
    std::string cmdWork = WorkFolder(package);
    EXPECT_EQ(package_import::test::DatabaseContent(cmdWork + "/" + package.strName + "Parent.db"),
              parentContent);
    EXPECT_EQ(package_import::test::DatabaseContent(cmdWork + "/" + package.strName + "child.db"),
              childContent);
}

// --- The import behind its progress window ------------------------------------------------

// An archiver in front of the real one that shows two percentages as 7-Zip does on a terminal
// and takes its time over them (pauseSeconds after each), then unpacks.
std::string WriteSlowArchiver(const std::string& folder, const std::string& pauseSeconds) {
    const std::string real = fs::read_symlink(std::string(TAVRIN_TEST_PROGRAM_DIR) + "/7z");
    const std::string script = folder + "/slow7z";
    package_import::test::WriteFile(script,
                                    "#!/bin/sh\n"
                                    "if [ \"$1\" = x ]; then\n"
                                    "  printf ' 10%%\\b\\b\\b\\b'; sleep " +
                                        pauseSeconds +
                                        "\n"
                                        "  printf ' 60%%\\b\\b\\b\\b'; sleep " +
                                        pauseSeconds +
                                        "\n"
                                        "fi\n"
                                        "exec '" +
                                        real + "' \"$@\"\n");
    fs::permissions(script, fs::perms::owner_all);
    return "\"" + script + "\"";
}

// The progress window while it is shown, or null.
CImportProgressDialog* ShownProgressWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<CImportProgressDialog*>(w); p && p->isVisible()) return p;
    return nullptr;
}

// Counts the ticker's events that reach the dialog.
class CTickCounter : public QObject {
  public:
    int m_nTicks = 0;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == CTickEvent::TypeId()) ++m_nTicks;
        return false;
    }
};

TEST_F(ImportDialogTest, ImportsBehindAProgressWindowWhileTheWindowKeepsTicking) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    CTavrinDlg& dlg = *m_pDlg;
    Peek(dlg).m_str7zCommand = QString::fromStdString(WriteSlowArchiver(m_tmp.Path(), "0.7"));
    CTickCounter ticks;
    dlg.installEventFilter(&ticks);

    QStringList labels;
    QList<int> percents;
    bool bOpenLocked = false;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (CImportProgressDialog* p = ShownProgressWindow()) {
            if (labels.isEmpty() || labels.back() != p->Label()->text())
                labels << p->Label()->text();
            if (p->Bar()->maximum() == 100) percents << p->Bar()->value();
            bOpenLocked = bOpenLocked || !Peek(dlg).m_btnOpen->isEnabled();
        }
    });
    watch.start();
    Open(package.strTar);
    watch.stop();

    ASSERT_TRUE(m_prompts.m_messages.isEmpty()) << m_prompts.m_messages.join("|").toStdString();
    const QString file = QString::fromStdString(fs::path(package.strTar).filename().string());
    ASSERT_FALSE(labels.isEmpty());
    EXPECT_EQ(labels.front(), ResString(210).arg(QString::fromStdString(package.strName)));
    EXPECT_TRUE(labels.contains(ResString(211).arg(file))) << labels.join("|").toStdString();
    EXPECT_TRUE(percents.contains(10) && percents.contains(60));
    EXPECT_TRUE(bOpenLocked);
    // More than a second of unpacking: the ticker's events were delivered meanwhile.
    EXPECT_GE(ticks.m_nTicks, 1);
    EXPECT_EQ(ShownProgressWindow(), nullptr);
    EXPECT_EQ(Peek(dlg).m_pRunningImport, nullptr);
    // And the import ended as ever.
    EXPECT_EQ(Peek(dlg).m_packages.size(), 1u);
    EXPECT_EQ(dlg.Browser().Screen().page.nTotalRows, package.parent["unix_sms_log"]);
    EXPECT_EQ(Peek(dlg).m_list->RowCount(), 15);
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(package.strName)));
    EXPECT_EQ(
        package_import::test::TableCounts(WorkFolder(package) + "/" + package.strName + "child.db"),
        package.child);
}

TEST_F(ImportStopTest, CancelStopsTheArchiverAndEndsAsAFailedUnpackingDoes) {
    CTavrinDlg& dlg = *m_pDlg;
    Peek(dlg).m_str7zCommand = QString::fromStdString(WriteSlowArchiver(m_tmp.Path(), "30"));

    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        CImportProgressDialog* p = ShownProgressWindow();
        if (p && p->Bar()->value() == 10 && p->CancelButton()->isEnabled()) {
            p->CancelButton()->click();
            EXPECT_EQ(p->Label()->text(), ResString(216));
        }
    });
    watch.start();
    QElapsedTimer took;
    took.start();
    Open(m_second.strTar);
    watch.stop();

    EXPECT_LT(took.elapsed(), 20000) << m_strConsole;  // the archiver did not run its 30 s
    EXPECT_TRUE(m_prompts.m_messages.isEmpty()) << m_prompts.m_messages.join("|").toStdString();
    EXPECT_FALSE(fs::exists(WorkFolder(m_second)));
    EXPECT_EQ(Peek(dlg).m_packages.size(), 1u);
    EXPECT_EQ(Peek(dlg).m_comboPackage->count(), 1);
    EXPECT_EQ(Peek(dlg).m_pParentDb, nullptr);
    EXPECT_TRUE(Peek(dlg).m_btnOpen->isEnabled());
    // 删除文件夹成功！, as after a failed unpacking.
    EXPECT_NE(m_strConsole.find("\xC9\xBE\xB3\xFD\xCE\xC4\xBC\xFE\xBC\xD0\xB3\xC9\xB9\xA6\xA3\xA1"),
              std::string::npos);
    // The first package is untouched and opens again; a new import works.
    Peek(dlg).m_comboPackage->OnSelChange(0);
    EXPECT_EQ(Peek(dlg).m_list->RowCount(), 15);
    Peek(dlg).m_str7zCommand.clear();
    Open(m_second.strTar);
    EXPECT_EQ(Peek(dlg).m_packages.size(), 2u);
}

// unix_sms_log's dump is unpacked alone and loads while a second run unpacks the rest: Cancel
// stops that run too, and the import ends as a failed unpacking does.
TEST_F(ImportStopTest, CancelDuringTheSecondUnpackingRunStopsItToo) {
    CTavrinDlg& dlg = *m_pDlg;
    // Quick for the first run (one named entry), 30 s for the second (it leaves entries out).
    const std::string real = fs::read_symlink(std::string(TAVRIN_TEST_PROGRAM_DIR) + "/7z");
    const std::string script = m_tmp / "rest_slow_7z";
    package_import::test::WriteFile(script,
                                    "#!/bin/sh\ncase \"$*\" in *-x!*) sleep 30;; esac\n"
                                    "exec '" +
                                        real + "' \"$@\"\n");
    fs::permissions(script, fs::perms::owner_all);
    Peek(dlg).m_str7zCommand = QString::fromStdString("\"" + script + "\"");

    const QString unpacking =
        ResString(211).arg(QString::fromStdString(fs::path(m_second.strTar).filename().string()));
    const std::string parentDb = WorkFolder(m_second) + "/" + m_second.strName + "Parent.db";
    bool bClicked = false;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        CImportProgressDialog* p = ShownProgressWindow();
        // The first table has begun loading, and the window waits for the second run.
        if (!bClicked && p && p->Label()->text() == unpacking && fs::exists(parentDb) &&
            p->CancelButton()->isEnabled()) {
            bClicked = true;
            p->CancelButton()->click();
        }
    });
    watch.start();
    QElapsedTimer took;
    took.start();
    Open(m_second.strTar);
    watch.stop();

    EXPECT_TRUE(bClicked);
    EXPECT_LT(took.elapsed(), 20000) << m_strConsole;  // the second run did not sleep its 30 s
    EXPECT_TRUE(m_prompts.m_messages.isEmpty()) << m_prompts.m_messages.join("|").toStdString();
    EXPECT_FALSE(fs::exists(WorkFolder(m_second)));
    EXPECT_EQ(Peek(dlg).m_packages.size(), 1u);
    EXPECT_EQ(Peek(dlg).m_comboPackage->count(), 1);
    EXPECT_TRUE(Peek(dlg).m_btnOpen->isEnabled());
}

TEST_F(ImportStopTest, AClosingWindowCancelsTheImportFirstAndThenCleansUp) {
    CTavrinDlg& dlg = *m_pDlg;
    Peek(dlg).m_str7zCommand = QString::fromStdString(WriteSlowArchiver(m_tmp.Path(), "30"));
    dlg.show();

    bool bClosed = false;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        CImportProgressDialog* p = ShownProgressWindow();
        if (!bClosed && p && p->Bar()->value() == 10) {
            bClosed = true;
            // As the termination handling does: the nested window first, then the dialog.
            p->close();
            EXPECT_TRUE(p->isVisible());  // it stays until the step has given up
            dlg.OnClose();
            EXPECT_FALSE(dlg.IsClosing());  // deferred while the import runs
        }
    });
    watch.start();
    QElapsedTimer took;
    took.start();
    Open(m_second.strTar);
    watch.stop();

    EXPECT_TRUE(bClosed);
    EXPECT_LT(took.elapsed(), 20000);
    EXPECT_TRUE(dlg.IsClosing());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(Peek(dlg).m_packages.empty());
    EXPECT_FALSE(fs::exists(WorkFolder(m_first)));
    EXPECT_FALSE(fs::exists(WorkFolder(m_second)));
    // Nothing starts once the close has run.
    Open(m_first.strTar);
    EXPECT_TRUE(Peek(dlg).m_packages.empty());
}

}  // namespace

}  // namespace ui
