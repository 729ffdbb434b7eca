// What the window shows after imports, switches and refusals, offscreen with real packages,
// the real archiver and the fake prompts: the screen always matches the package that is open,
// or shows none.
#include <filesystem>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <gtest/gtest.h>

#include "tavrin/testing/main_dialog_test_support.h"
#include "tavrin/ui/audit_combo_box.h"
#include "tavrin/ui/dialog_events.h"
#include "tavrin/ui/dialog_strings.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/package_combo_box.h"

namespace ui {

namespace {

namespace fs = std::filesystem;
using package_import::test::SamplePackage;
using test::CMainDialogTest;
using test::Peek;

void Tick(CTavrinDlg& dlg) {
    QCoreApplication::postEvent(&dlg, new CTickEvent());
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// The open-file dialog during which the ticker keeps ticking, as it does behind a real one.
class CTickingPrompts : public common::test::CFakeUserPrompts {
  public:
    explicit CTickingPrompts(CTavrinDlg& dlg) : m_dlg(dlg) {}
    QString ChooseOpenFileIn(const QString& filter, const QString& folder) override {
        for (int i = 0; i < 3; ++i) Tick(m_dlg);
        return common::test::CFakeUserPrompts::ChooseOpenFileIn(filter, folder);
    }

  private:
    CTavrinDlg& m_dlg;
};

class StaleScreenTest : public CMainDialogTest {
  protected:
    // What the window shows of the browser, to compare before and after.
    struct Screen {
        QString total, pages, name, start, end, imported, firstCell;
        int nRows = 0;
        bool bNext = false;
        QString path;  // box 1000: the file of the package that is open
        bool operator==(const Screen&) const = default;
    };
    Screen Shown() const {
        CTavrinDlg& dlg = *m_pDlg;
        return {
            Peek(dlg).m_staticTotal->text(),           Peek(dlg).m_staticPages->text(),
            dlg.findChild<QLineEdit*>("1002")->text(), dlg.findChild<QLineEdit*>("1003")->text(),
            dlg.findChild<QLineEdit*>("1004")->text(), Peek(dlg).m_comboPackage->currentText(),
            Peek(dlg).m_list->CellText(0, 1),          Peek(dlg).m_list->RowCount(),
            Peek(dlg).m_btnNext->isEnabled(),          Peek(dlg).m_editPackagePath->text()};
    }
    SamplePackage Make(const char* folder, std::vector<std::string> options) {
        return package_import::test::MakeSamplePackage(m_tmp / folder, std::move(options));
    }
};

TEST_F(StaleScreenTest, TicksNeverBringBackTheFiltersAnImportOrSwitchCleared) {
    SamplePackage a = Make("a", {"--prefix", "first"});
    SamplePackage b = Make("b", {"--prefix", "second", "--no-tab"});
    Open(a.strTar);
    CTavrinDlg& dlg = *m_pDlg;
    const int nAll = dlg.Browser().Screen().page.nTotalRows;

    // A filter the user typed, applied by a search, then a second import while ticks arrive.
    Peek(dlg).m_editLoginName->setText("zz-no-such-user");
    Peek(dlg).m_btnSearch->click();
    ASSERT_EQ(dlg.Browser().Screen().page.nTotalRows, 0);
    {
        CTickingPrompts ticking(dlg);
        ticking.m_openAnswers << QString::fromStdString(b.strTar);
        Peek(dlg).m_btnOpen->click();
    }
    for (int i = 0; i < 3; ++i) Tick(dlg);
    EXPECT_EQ(Peek(dlg).m_editLoginName->text(), "");
    EXPECT_EQ(dlg.Browser().FilterClause(), "");
    // The next change of audit type filters by the time range only.
    Peek(dlg).m_comboAudit->setCurrentIndex(2);
    emit Peek(dlg).m_comboAudit->activated(2);
    Peek(dlg).m_comboAudit->setCurrentIndex(3);
    emit Peek(dlg).m_comboAudit->activated(3);
    EXPECT_EQ(dlg.Browser().Screen().page.nTotalRows, b.parent["unix_sms_log"]);

    // The same for a switch back to the first package.
    Peek(dlg).m_editRemoteName->setText("zz");
    Tick(dlg);
    Peek(dlg).m_comboPackage->setCurrentIndex(0);
    emit Peek(dlg).m_comboPackage->activated(0);
    for (int i = 0; i < 3; ++i) Tick(dlg);
    EXPECT_EQ(Peek(dlg).m_editRemoteName->text(), "");
    Peek(dlg).m_comboAudit->setCurrentIndex(3);
    emit Peek(dlg).m_comboAudit->activated(3);
    EXPECT_EQ(dlg.Browser().Screen().page.nTotalRows, nAll);
    // What the user types meanwhile stays.
    Peek(dlg).m_editLoginAddr->setText("10.0.0.1");
    Tick(dlg);
    EXPECT_EQ(Peek(dlg).m_editLoginAddr->text(), "10.0.0.1");
}

TEST_F(StaleScreenTest, TheImportedBoxShowsThePackageThatIsOpen) {
    SamplePackage a = Make("a", {"--prefix", "first"});
    SamplePackage b = Make("b", {"--prefix", "second", "--sessions", "14"});
    Open(a.strTar);
    EXPECT_EQ(Peek(*m_pDlg).m_comboPackage->currentText(), QString::fromStdString(a.strName));
    Open(b.strTar);
    EXPECT_EQ(Peek(*m_pDlg).m_comboPackage->currentText(), QString::fromStdString(b.strName));
    EXPECT_EQ(Peek(*m_pDlg).m_strPackageName, QString::fromStdString(b.strName));
    // Choosing the first package's file again opens it, and the box follows.
    Open(a.strTar);
    EXPECT_EQ(Peek(*m_pDlg).m_comboPackage->currentText(), QString::fromStdString(a.strName));
    EXPECT_EQ(m_pDlg->Browser().Screen().page.nTotalRows, a.parent["unix_sms_log"]);
}

TEST_F(StaleScreenTest, AnInvalidDateRangeIsRefusedBeforeAnythingIsImportedOrChanged) {
    SamplePackage a = Make("a", {"--prefix", "first"});
    // February has no 30th.
    const std::string bad = m_tmp / "a/bad_log_2016-09-01_2016-02-30.tar";
    fs::copy_file(a.strTar, bad);
    Open(a.strTar);
    Peek(*m_pDlg).m_btnNext->click();  // page 2, to see that nothing moves
    const Screen before = Shown();

    Open(bad);
    ASSERT_EQ(m_prompts.m_messages.size(), 1);
    EXPECT_EQ(m_prompts.m_messages[0], ResString(kStrInvalidDateRange));
    EXPECT_FALSE(fs::exists(m_strProgram + "/bad_log_2016-09-01_2016-02-30"));
    EXPECT_EQ(Peek(*m_pDlg).m_packages.size(), 1u);
    EXPECT_EQ(Peek(*m_pDlg).m_comboPackage->count(), 1);
    EXPECT_EQ(Shown(), before);
    EXPECT_EQ(m_pDlg->Browser().Screen().page.nCurPage, 2);
    EXPECT_NE(Peek(*m_pDlg).m_pParentDb, nullptr);
    // The pickers keep the open package's range: a type change still lists its sessions.
    Peek(*m_pDlg).m_comboAudit->setCurrentIndex(3);
    emit Peek(*m_pDlg).m_comboAudit->activated(3);
    EXPECT_EQ(m_pDlg->Browser().Screen().page.nTotalRows, a.parent["unix_sms_log"]);
}

TEST_F(StaleScreenTest, ALeftoverWorkFolderLeavesTheOpenPackageOpenAndShown) {
    SamplePackage a = Make("a", {"--prefix", "first"});
    SamplePackage left = Make("left", {"--prefix", "left"});
    Open(a.strTar);
    const Screen before = Shown();
    fs::create_directories(WorkFolder(left));  // left behind by a run that crashed

    Open(left.strTar);
    EXPECT_EQ(Shown(), before);
    EXPECT_EQ(before.path, QString::fromStdString(a.strTar));
    EXPECT_EQ(Peek(*m_pDlg).m_pParentDb, Peek(*m_pDlg).m_packages.front().pParentDb.get());
    EXPECT_EQ(Peek(*m_pDlg).m_list->RowCount(), 15);
    // Paging goes on in the open package.
    Peek(*m_pDlg).m_btnNext->click();
    EXPECT_EQ(m_pDlg->Browser().Screen().page.nCurPage, 2);
    EXPECT_EQ(Peek(*m_pDlg).m_list->RowCount(), 15);

    // A switch to a name that was never imported changes nothing either.
    EXPECT_FALSE(m_pDlg->OpenPackage("never_log_2016-09-01_2016-09-10"));
    EXPECT_EQ(m_pDlg->Browser().Screen().page.nCurPage, 2);
    EXPECT_EQ(Peek(*m_pDlg).m_list->RowCount(), 15);
}

TEST_F(StaleScreenTest, AFailedUnpackingShowsNoPackageRatherThanTheOldCounts) {
    SamplePackage a = Make("a", {"--prefix", "first"});
    Open(a.strTar);
    ASSERT_NE(Peek(*m_pDlg).m_staticTotal->text(), "");
    const std::string corrupt = m_tmp / "a/broken_log_2016-09-01_2016-09-10.tar";
    package_import::test::WriteFile(corrupt, std::string(20000, '\x01'));
    Open(corrupt);
    ASSERT_EQ(m_prompts.m_messages.size(), 1);
    // The open package was closed for the new one: the window says so everywhere.
    EXPECT_EQ(Peek(*m_pDlg).m_pParentDb, nullptr);
    const Screen none = Shown();
    EXPECT_EQ(none.total, "");
    EXPECT_EQ(none.pages, "");
    EXPECT_EQ(none.name, "");
    EXPECT_EQ(none.imported, "");
    EXPECT_EQ(none.path, "");
    EXPECT_EQ(none.nRows, 0);
    EXPECT_FALSE(none.bNext);
    EXPECT_FALSE(Peek(*m_pDlg).m_btnGoto->isEnabled());
    Tick(*m_pDlg);
    EXPECT_EQ(Shown(), none);
}

TEST_F(StaleScreenTest, ANewPageOfAnImportedPackageOpensAtItsFirstRow) {
    SamplePackage a = Make("a", {"--prefix", "first"});
    Open(a.strTar);
    CListCtrlEx& list = *Peek(*m_pDlg).m_list;
    m_pDlg->show();
    list.resize(list.width(), 150);  // smaller than a page, so that it scrolls
    QApplication::processEvents();
    list.scrollToBottom();
    QApplication::processEvents();
    ASSERT_GT(list.verticalScrollBar()->value(), 0);
    Peek(*m_pDlg).m_btnNext->click();
    QApplication::processEvents();
    EXPECT_EQ(list.verticalScrollBar()->value(), 0);
    EXPECT_EQ(list.rowAt(0), 0);
    EXPECT_EQ(list.CellText(0, 0), "0");
}

}  // namespace

}  // namespace ui
