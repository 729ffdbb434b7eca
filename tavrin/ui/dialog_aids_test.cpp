// The auditing aids through the real main dialog, offscreen: real imports of generated
// packages with the real archiver, the fake prompts, real files in a program folder and a
// settings folder of the test's own.
#include <filesystem>

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "common/qt/lang_module.h"
#include "common/testing/fake_user_prompts.h"
#include "tavrin/testing/import_test_util.h"
#include "tavrin/testing/main_dialog_test_support.h"
#include "tavrin/testing/tavrin_dlg_test_access.h"
#include "tavrin/ui/aids_strings.h"
#include "tavrin/ui/audit_combo_box.h"
#include "tavrin/ui/dialog_aids.h"
#include "tavrin/ui/dialog_strings.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/package_combo_box.h"
#include "tavrin/ui/res_string.h"

namespace ui {

namespace {

namespace fs = std::filesystem;
using package_import::test::CTempFolder;
using package_import::test::SamplePackage;
using test::CMainDialogTest;
using test::Peek;

class AuditorDialog : public CMainDialogTest {
  protected:
    void SetUp() override {
        CMainDialogTest::SetUp();
        m_pExtras = Peek(*m_pDlg).m_pAuditorExtras;
    }

    void NewDialog() {
        m_pDlg.reset();
        m_pDlg = std::make_unique<CTavrinDlg>();
        m_pExtras = Peek(*m_pDlg).m_pAuditorExtras;
    }

    void Key(QWidget* widget, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods);
        QApplication::sendEvent(widget, &release);
    }

    // Drags files onto widget and drops them; returns whether the drag was accepted.
    bool Drop(QWidget* widget, const QStringList& files) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& f : files) urls << QUrl::fromLocalFile(f);
        mime.setUrls(urls);
        const QPoint at(widget->width() / 2, widget->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &drop);
        testing::internal::CaptureStdout();
        QApplication::processEvents();  // the queued imports
        m_strConsole = testing::internal::GetCapturedStdout();
        return drop.isAccepted();
    }

    std::vector<std::string> CsvLines(const std::string& path) {
        std::string text = package_import::test::ReadFile(path);
        EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
        std::vector<std::string> lines;
        size_t start = 3;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    std::string ParentDb(const SamplePackage& p) const {
        return m_strProgram + "/" + p.strName + "/" + p.strName + "Parent.db";
    }

    CAuditorExtras* m_pExtras = nullptr;
};

TEST_F(AuditorDialog, ExportWritesEveryRowOfTheCurrentViewAndFilter) {
    CTavrinDlg& dlg = *m_pDlg;
    ASSERT_NE(m_pExtras->m_btnExport, nullptr);
    EXPECT_EQ(m_pExtras->m_btnExport->text(), ResString(kStrExportButton));
    // No package open yet.
    m_pExtras->m_btnExport->click();
    ASSERT_EQ(m_prompts.m_messages.size(), 1);
    EXPECT_EQ(m_prompts.m_messages[0], ResString(kStrExportNoPackage));
    EXPECT_TRUE(m_prompts.m_saveFilters.isEmpty());

    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    Open(package.strTar);
    // The background load ends first: what it has to say must not fall into the export's.
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(package.strName)));
    ASSERT_EQ(dlg.Browser().Screen().page.nTotalRows, 40);
    dlg.OnNextPage();  // the page shown does not limit the export

    // Cancelled in the save dialog: nothing written, nothing said.
    m_prompts.m_messages.clear();
    m_pExtras->m_btnExport->click();
    EXPECT_TRUE(m_prompts.m_messages.isEmpty());
    ASSERT_EQ(m_prompts.m_saveSuggestions.size(), 1);
    EXPECT_EQ(m_prompts.m_saveSuggestions[0],
              QString::fromStdString(m_tmp / "in/" + package.strName + "_unix_sms_log.csv"));
    EXPECT_EQ(m_prompts.m_saveFilters[0], ResString(kStrExportFilter));

    const std::string all = m_tmp / "all.csv";
    m_prompts.m_saveAnswers << QString::fromStdString(all);
    m_pExtras->m_btnExport->click();
    ASSERT_EQ(m_prompts.m_messages.size(), 1);
    EXPECT_EQ(m_prompts.m_messages[0],
              ResString(kStrExportDone).arg(40).arg(QString::fromStdString(all)));
    auto lines = CsvLines(all);
    ASSERT_EQ(lines.size(), 41u);
    QStringList headers;
    for (int col = 0; col < 8; ++col) headers << Peek(dlg).m_list->HeaderText(col);
    EXPECT_EQ(QString::fromStdString(lines[0]), headers.join(','));
    EXPECT_EQ(lines[40].substr(0, 3), "39,");

    // A search narrows the view: the export follows it.
    dlg.OnFirstPage();
    const QString name = Peek(dlg).m_list->CellText(0, 4);
    Peek(dlg).m_editLoginName->setText(name);
    dlg.OnSearch();
    const int nFiltered = dlg.Browser().Screen().page.nTotalRows;
    ASSERT_GT(nFiltered, 0);
    ASSERT_LT(nFiltered, 40);
    const std::string some = m_tmp / "some.csv";
    m_prompts.m_saveAnswers << QString::fromStdString(some);
    m_pExtras->m_btnExport->click();
    lines = CsvLines(some);
    ASSERT_EQ(lines.size(), static_cast<size_t>(nFiltered) + 1);
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_NE(lines[i].find(name.toStdString()), std::string::npos) << lines[i];

    // The joined view, with its own columns.
    Peek(dlg).m_editLoginName->clear();
    Peek(dlg).m_comboAudit->setCurrentIndex(CAuditComboBox::IndexOf(browser::AuditView::Joined));
    emit Peek(dlg).m_comboAudit->activated(CAuditComboBox::IndexOf(browser::AuditView::Joined));
    const std::string joined = m_tmp / "joined.csv";
    m_prompts.m_saveAnswers << QString::fromStdString(joined);
    m_pExtras->m_btnExport->click();
    lines = CsvLines(joined);
    ASSERT_GT(dlg.Browser().Screen().page.nTotalRows, 0);
    EXPECT_EQ(lines.size(), static_cast<size_t>(dlg.Browser().Screen().page.nTotalRows) + 1);
    EXPECT_EQ(lines[0].substr(lines[0].rfind(',') + 1),
              Peek(dlg).m_list->HeaderText(7).toStdString());
}

TEST_F(AuditorDialog, ALargeExportShowsProgressAndCancelWritesNothing) {
    SamplePackage package =
        package_import::test::MakeSamplePackage(m_tmp / "in", {"--sessions", "6000"});
    Open(package.strTar);
    // The background load ends first: what it has to say must not fall into the export's.
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(package.strName)));
    ASSERT_TRUE(m_prompts.m_messages.isEmpty()) << m_prompts.m_messages.join("|").toStdString();
    ASSERT_EQ(m_pDlg->Browser().Screen().page.nTotalRows, 6000);
    const std::string target = m_tmp / "big.csv";

    // The progress dialog is up while rows are written; its Cancel stops the export.
    bool bSawProgress = false;
    QTimer::singleShot(0, m_pDlg.get(), [&] {
        auto* progress = m_pDlg->findChild<QProgressDialog*>();
        if (!progress) return;
        bSawProgress =
            progress->isVisible() && progress->labelText() == ResString(kStrExportProgress);
        progress->cancel();
    });
    m_prompts.m_saveAnswers << QString::fromStdString(target);
    m_pExtras->m_btnExport->click();
    EXPECT_TRUE(bSawProgress);
    ASSERT_EQ(m_prompts.m_messages.size(), 1);
    EXPECT_EQ(m_prompts.m_messages[0], ResString(kStrExportCancelled));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(target + ".part"));

    m_prompts.m_saveAnswers << QString::fromStdString(target);
    m_pExtras->m_btnExport->click();
    EXPECT_EQ(CsvLines(target).size(), 6001u);
    EXPECT_EQ(m_pDlg->findChild<QProgressDialog*>(), nullptr);
}

QString Sha256Hex(const std::string& path) {
    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromLatin1(
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
}

TEST_F(AuditorDialog, FingerprintOfEachImportedPackageInTooltipAndConsole) {
    SamplePackage a = package_import::test::MakeSamplePackage(m_tmp / "a", {"--prefix", "first"});
    SamplePackage b =
        package_import::test::MakeSamplePackage(m_tmp / "b", {"--prefix", "second", "--seed", "7"});
    QLineEdit* nameField = m_pDlg->findChild<QLineEdit*>("1002");
    ASSERT_NE(nameField, nullptr);

    Open(a.strTar);
    const QString hashA = Sha256Hex(a.strTar);
    EXPECT_EQ(nameField->toolTip(), ResString(kStrFingerprintTip).arg(hashA));
    EXPECT_NE(m_strConsole.find(hashA.toStdString() + "  " + a.strTar + "\n"), std::string::npos)
        << m_strConsole;
    EXPECT_EQ(m_pExtras->Fingerprint(QString::fromStdString(a.strName)), hashA);

    Open(b.strTar);
    const QString hashB = Sha256Hex(b.strTar);
    ASSERT_NE(hashA, hashB);
    EXPECT_EQ(nameField->toolTip(), ResString(kStrFingerprintTip).arg(hashB));

    // Switching packages shows the open package's own fingerprint.
    Peek(*m_pDlg).m_comboPackage->OnSelChange(0);
    EXPECT_EQ(nameField->toolTip(), ResString(kStrFingerprintTip).arg(hashA));

    // A file that is no package gets none, and shows none.
    std::string corrupt = m_tmp / "a/broken_log_2016-09-01_2016-09-10.tar";
    package_import::test::WriteFile(corrupt, std::string(20000, '\x01'));
    Open(corrupt);
    EXPECT_EQ(nameField->toolTip(), "");
    EXPECT_EQ(m_strConsole.find(Sha256Hex(corrupt).toStdString()), std::string::npos);
}

TEST_F(AuditorDialog, OpenDialogStartsInTheFolderOfTheLastPackageOpened) {
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "packages");
    Open(package.strTar);
    Peek(*m_pDlg).m_btnOpen->click();  // cancelled
    ASSERT_EQ(m_prompts.m_openFolders.size(), 2);
    EXPECT_EQ(m_prompts.m_openFolders[0], "");
    EXPECT_EQ(m_prompts.m_openFolders[1], QString::fromStdString(m_tmp / "packages"));

    // The next run starts there too; the choice lives in the user's settings folder.
    NewDialog();
    Peek(*m_pDlg).m_btnOpen->click();
    EXPECT_EQ(m_prompts.m_openFolders.back(), QString::fromStdString(m_tmp / "packages"));
    EXPECT_TRUE(fs::exists(m_tmp / "config/Tavrin/Tavrin.conf"));
    // A folder that has gone is not offered.
    fs::rename(m_tmp / "packages", m_tmp / "moved");
    Peek(*m_pDlg).m_btnOpen->click();
    EXPECT_EQ(m_prompts.m_openFolders.back(), "");
    EXPECT_FALSE(fs::exists("code.ini") &&
                 package_import::test::ReadFile("code.ini").find("packages") != std::string::npos);
}

TEST_F(AuditorDialog, DroppedPackagesAndCommandLinePackagesAreImportedInTurn) {
    SamplePackage a = package_import::test::MakeSamplePackage(m_tmp / "a", {"--prefix", "first"});
    SamplePackage b = package_import::test::MakeSamplePackage(
        m_tmp / "b", {"--prefix", "second", "--sessions", "14"});
    package_import::test::WriteFile(m_tmp / "notes.txt", "x");

    // Only .tar files are taken.
    EXPECT_FALSE(Drop(m_pDlg.get(), {QString::fromStdString(m_tmp / "notes.txt")}));
    EXPECT_TRUE(Peek(*m_pDlg).m_packages.empty());

    // Dropped on a filter field, which would otherwise take the text.
    EXPECT_TRUE(Drop(Peek(*m_pDlg).m_editLoginName,
                     {QString::fromStdString(a.strTar), QString::fromStdString(m_tmp / "notes.txt"),
                      QString::fromStdString(b.strTar)}));
    ASSERT_EQ(Peek(*m_pDlg).m_comboPackage->count(), 2);
    EXPECT_EQ(Peek(*m_pDlg).m_comboPackage->itemText(0), QString::fromStdString(a.strName));
    EXPECT_EQ(Peek(*m_pDlg).m_strPackageName, QString::fromStdString(b.strName));
    EXPECT_EQ(m_pDlg->Browser().Screen().page.nTotalRows, 14);
    EXPECT_EQ(Peek(*m_pDlg).m_editLoginName->text(), "");
    EXPECT_TRUE(Peek(*m_pDlg).m_btnOpen->isEnabled());
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(a.strName)));
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(b.strName)));

    // The command line's packages, once the event loop runs, in the order given.
    NewDialog();
    fs::remove_all(m_strProgram + "/" + a.strName);
    fs::remove_all(m_strProgram + "/" + b.strName);
    m_pDlg->ImportPackagesWhenShown(
        {QString::fromStdString(b.strTar), QString::fromStdString(a.strTar)});
    EXPECT_TRUE(Peek(*m_pDlg).m_packages.empty());
    testing::internal::CaptureStdout();
    QApplication::processEvents();
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(Peek(*m_pDlg).m_comboPackage->count(), 2);
    EXPECT_EQ(Peek(*m_pDlg).m_comboPackage->itemText(0), QString::fromStdString(b.strName));
    EXPECT_EQ(Peek(*m_pDlg).m_strPackageName, QString::fromStdString(a.strName));
    EXPECT_TRUE(m_prompts.m_filters.isEmpty());  // no open-file dialog
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(a.strName)));
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(b.strName)));
}

TEST_F(AuditorDialog, KeysPageSearchFocusAndStartThePlayer) {
    CTavrinDlg& dlg = *m_pDlg;
    SamplePackage package = package_import::test::MakeSamplePackage(m_tmp / "in");
    Open(package.strTar);
    ASSERT_EQ(dlg.Browser().Screen().page.nPageCount, 3);
    CListCtrlEx* list = Peek(dlg).m_list;

    Key(list, Qt::Key_PageDown);
    EXPECT_EQ(dlg.Browser().Screen().page.nCurPage, 2);
    EXPECT_EQ(Peek(dlg).m_editPage->text(), "2");
    Key(list, Qt::Key_PageUp);
    EXPECT_EQ(dlg.Browser().Screen().page.nCurPage, 1);
    Key(list, Qt::Key_End);
    EXPECT_EQ(dlg.Browser().Screen().page.nCurPage, 3);
    EXPECT_EQ(Peek(dlg).m_editPage->text(), "3");
    EXPECT_FALSE(Peek(dlg).m_btnNext->isEnabled());
    EXPECT_EQ(list->RowCount(), 10);
    Key(Peek(dlg).m_btnOpen, Qt::Key_Home);
    EXPECT_EQ(dlg.Browser().Screen().page.nCurPage, 1);
    EXPECT_EQ(Peek(dlg).m_editPage->text(), "1");

    // Home and End in a text field move its cursor; the page stays.
    dlg.OnNextPage();
    Peek(dlg).m_editLoginName->setText("abc");
    Key(Peek(dlg).m_editLoginName, Qt::Key_Home);
    EXPECT_EQ(dlg.Browser().Screen().page.nCurPage, 2);
    EXPECT_EQ(Peek(dlg).m_editLoginName->cursorPosition(), 0);
    Peek(dlg).m_editLoginName->clear();

    // Enter in the page field goes to the typed page; a page beyond the last is refused.
    Peek(dlg).m_editPage->setText("3");
    Key(Peek(dlg).m_editPage, Qt::Key_Return);
    EXPECT_EQ(dlg.Browser().Screen().page.nCurPage, 3);
    Peek(dlg).m_editPage->setText("7");
    Key(Peek(dlg).m_editPage, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(dlg.Browser().Screen().page.nCurPage, 3);
    ASSERT_EQ(m_prompts.m_messages.size(), 1);
    EXPECT_EQ(m_prompts.m_messages[0], ResString(143));
    EXPECT_EQ(dlg.result(), 0);  // Enter never ends the dialog

    // Ctrl+F puts the focus on the login-name filter; F5 repeats the search with it.
    Key(list, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(dlg.focusWidget(), Peek(dlg).m_editLoginName);
    dlg.OnFirstPage();
    const QString name = list->CellText(0, 4);
    Peek(dlg).m_editLoginName->setText(name);
    Key(Peek(dlg).m_editLoginName, Qt::Key_F5);
    EXPECT_GT(dlg.Browser().Screen().page.nTotalRows, 0);
    EXPECT_LT(dlg.Browser().Screen().page.nTotalRows, 40);
    for (int row = 0; row < list->RowCount(); ++row) EXPECT_EQ(list->CellText(row, 4), name);

    // Enter on a selected row starts the player of its first action column: before the
    // background load ends, that is the message that the package is still loading.
    m_prompts.m_messages.clear();
    Key(list, Qt::Key_Return);  // no row selected: nothing
    EXPECT_TRUE(m_prompts.m_messages.isEmpty());
    if (!Peek(dlg).m_states.front().bDone) {
        list->selectRow(0);
        Key(list, Qt::Key_Return);
        ASSERT_EQ(m_prompts.m_messages.size(), 1);
        EXPECT_EQ(m_prompts.m_messages[0], ResString(162));
    }
    ASSERT_TRUE(WaitForLoad(QString::fromStdString(package.strName)));
}

}  // namespace

}  // namespace ui
