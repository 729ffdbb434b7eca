// The browser driven through the real main dialog, offscreen: the real list, selector and
// page buttons on real Parent.db files, with the fake message boxes.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <memory>

#include "common/qt/lang_module.h"
#include "common/testing/fake_user_prompts.h"
#include "tavrin/testing/browser_test_support.h"
#include "tavrin/testing/tavrin_dlg_test_access.h"
#include "tavrin/ui/audit_combo_box.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/res_string.h"
#include "tavrin/workspace/package_flags.h"

namespace ui {

namespace {

namespace fs = std::filesystem;
using browser::test::Exec;
using test::Peek;

const char kPackage[] = "pkg_log_2013-05-01_2013-05-31";

class BrowserDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        g_bHasMatrixTable = false;
        ASSERT_TRUE(m_module.Load(QStringLiteral(BROWSER_PROGRAM_DIR "/english.rcc")));
        SetCurrentLangModule(&m_module);
        m_pDlg = std::make_unique<CTavrinDlg>();
        Peek(*m_pDlg).m_list->m_strProgramFolder = m_folder.Str();
        m_pkg = m_folder.Path() / kPackage;
        fs::create_directories(m_pkg / "var/utm/data/sessions");
        Peek(*m_pDlg).m_strPackageName = QString::fromLatin1(kPackage);
        m_pDlg->UpdateData(false);  // the name field shows it, as after an import
        Peek(*m_pDlg).m_dateStart->setDate(QDate(2013, 5, 1));
        Peek(*m_pDlg).m_dateEnd->setDate(QDate(2013, 5, 31));
        Peek(*m_pDlg).m_comboEndHour->setCurrentIndex(23);
        Peek(*m_pDlg).m_comboEndMinute->setCurrentIndex(59);
        Peek(*m_pDlg).m_comboEndSecond->setCurrentIndex(59);
    }
    void TearDown() override {
        m_pDlg.reset();
        SetCurrentLangModule(nullptr);
        g_bHasMatrixTable = false;
    }

    // Opens a fresh package database pair and makes it the dialog's open package.
    void OpenPackage(bool withTabTable = true) {
        sqlite3* db = browser::test::CreateParentDb((m_pkg / "Parent.db").string(), withTabTable);
        ASSERT_NE(nullptr, db);
        sqlite3_close(db);
        ASSERT_EQ(0, OpenDbHandle(m_parent, (m_pkg / "Parent.db").string()));
        ASSERT_EQ(0, OpenDbHandle(m_child, (m_pkg / "child.db").string()));
        Peek(*m_pDlg).m_pParentDb = &m_parent;
        Peek(*m_pDlg).m_pChildDb = &m_child;
        m_pDlg->BrowseOpenPackage();
    }

    void AddCharRows(const char* table, int count, int firstId = 0,
                     const char* remoteName = "root") {
        Exec(m_parent.db, "begin");
        for (int i = firstId; i < firstId + count; ++i) {
            std::string id = std::to_string(i);
            ASSERT_TRUE(Exec(m_parent.db,
                             std::string("insert into ") + table + " values(" + id +
                                 ", 'd', '10.1.1.1', 'ssh', '2013-05-07 08:00:00', '10.0.0." +
                                 std::to_string(i % 200 + 1) + "', 'user" + id + "', '" +
                                 remoteName + "', 'key_" + id + "', '/var/utm/data/sessions/t" +
                                 id + ".txt', '/x.dat', 'ok', '2013-05-07 09:00:00')"));
        }
        Exec(m_parent.db, "commit");
    }
    void AddGraphicRow(const char* table, int id, const char* session) {
        std::string sid = std::to_string(id);
        ASSERT_TRUE(
            Exec(m_parent.db, std::string("insert into ") + table + " values(" + sid + ", " + sid +
                                  "0, 'd', '2013-05-07 08:00:00', '10.0.0.1', 'alice', '10.2.2.2', "
                                  "'admin', '" +
                                  session + "', 800, 600, 'rdp', 'ok', '2013-05-07 09:00:00')"));
    }
    void AddApp(int id, const char* session) {
        ASSERT_TRUE(Exec(m_parent.db, "insert into vsms_xapp_tab values(" + std::to_string(id) +
                                          ", 5, '2013-05-07', '08:30:00', '10.6.6.6', 'guest', '" +
                                          session + "', 'app', 'path', 'ok')"));
    }

    void Choose(int index) {
        Peek(*m_pDlg).m_comboAudit->setCurrentIndex(index);
        emit Peek(*m_pDlg).m_comboAudit->activated(index);
    }

    int Rows() const { return Peek(*m_pDlg).m_list->RowCount(); }
    QString Cell(int row, int col) const { return Peek(*m_pDlg).m_list->CellText(row, col); }
    bool Enabled(QPushButton* b) const { return b->isEnabled(); }

    browser::test::TempFolder m_folder;
    fs::path m_pkg;
    common::CLangModule m_module;
    common::test::CFakeUserPrompts m_prompts;
    std::unique_ptr<CTavrinDlg> m_pDlg;
    DbHandle m_parent;
    DbHandle m_child;
};

TEST_F(BrowserDialog, TotalsGivePagesLabelsAndButtons) {
    OpenPackage();
    struct Case {
        int total;
        const char* pages;
        bool next;
        int rows;
    };
    int added = 0;
    for (Case c : {Case{0, "/ 1 page", false, 0}, Case{14, "/ 1 page", false, 14},
                   Case{15, "/ 2 pages", true, 15}, Case{16, "/ 2 pages", true, 15},
                   Case{30, "/ 3 pages", true, 15}}) {
        AddCharRows("unix_sms_log", c.total - added, added);
        added = c.total;
        Peek(*m_pDlg).m_list->ClearRows();
        m_pDlg->BrowseOpenPackage();
        EXPECT_EQ(QString("Total: %1 sessions").arg(c.total), Peek(*m_pDlg).m_staticTotal->text());
        EXPECT_EQ(QString::fromLatin1(c.pages), Peek(*m_pDlg).m_staticPages->text());
        EXPECT_FALSE(Enabled(Peek(*m_pDlg).m_btnPrev));
        EXPECT_EQ(c.next, Enabled(Peek(*m_pDlg).m_btnNext)) << c.total;
        EXPECT_EQ(c.next, Enabled(Peek(*m_pDlg).m_btnGoto)) << c.total;
        EXPECT_EQ(c.rows, Rows()) << c.total;
        EXPECT_EQ(c.rows, static_cast<int>(Peek(*m_pDlg).m_list->Model().CharRecords().size()));
    }
}

TEST_F(BrowserDialog, NextPrevAndFirstMoveThroughPages) {
    OpenPackage();
    AddCharRows("unix_sms_log", 30);
    m_pDlg->BrowseOpenPackage();
    Peek(*m_pDlg).m_editPage->setText("7");
    Peek(*m_pDlg).m_btnFirst->click();
    EXPECT_EQ("1", Peek(*m_pDlg).m_editPage->text());

    Peek(*m_pDlg).m_btnNext->click();
    ASSERT_EQ(15, Rows());
    for (int i = 0; i < 15; ++i) EXPECT_EQ(QString::number(i), Cell(i, 0));  // numbered per page
    EXPECT_EQ("user15", Cell(0, 4));
    EXPECT_EQ("key_29", Peek(*m_pDlg).m_list->Model().CharRecords()[14].strKey);
    EXPECT_EQ("2", Peek(*m_pDlg).m_editPage->text());
    EXPECT_TRUE(Enabled(Peek(*m_pDlg).m_btnPrev));

    Peek(*m_pDlg).m_btnNext->click();  // the empty third page of a total of 30
    EXPECT_EQ(0, Rows());
    EXPECT_EQ("3", Peek(*m_pDlg).m_editPage->text());
    EXPECT_FALSE(Enabled(Peek(*m_pDlg).m_btnNext));

    Peek(*m_pDlg).m_btnPrev->click();
    Peek(*m_pDlg).m_btnPrev->click();
    EXPECT_EQ("user0", Cell(0, 4));
    EXPECT_EQ("1", Peek(*m_pDlg).m_editPage->text());
    EXPECT_FALSE(Enabled(Peek(*m_pDlg).m_btnPrev));
    EXPECT_TRUE(Enabled(Peek(*m_pDlg).m_btnNext));
}

TEST_F(BrowserDialog, GotoPageReadsTheEditField) {
    OpenPackage();
    AddCharRows("unix_sms_log", 40);  // 3 pages
    m_pDlg->BrowseOpenPackage();

    Peek(*m_pDlg).m_editPage->setText("2x");
    Peek(*m_pDlg).m_btnGoto->click();
    EXPECT_EQ("user15", Cell(0, 4));
    EXPECT_EQ("2x", Peek(*m_pDlg).m_editPage->text());  // left as typed
    EXPECT_TRUE(m_prompts.m_messages.isEmpty());

    Peek(*m_pDlg).m_editPage->setText("3");
    Peek(*m_pDlg).m_btnGoto->click();
    EXPECT_EQ(10, Rows());
    EXPECT_FALSE(Enabled(Peek(*m_pDlg).m_btnNext));
    EXPECT_TRUE(Enabled(Peek(*m_pDlg).m_btnPrev));

    for (const char* bad : {"-1", "", "0", "abc"}) {
        Peek(*m_pDlg).m_editPage->setText(bad);
        Peek(*m_pDlg).m_btnGoto->click();
        EXPECT_EQ(10, Rows()) << bad;  // nothing else changes
    }
    Peek(*m_pDlg).m_editPage->setText("4");
    Peek(*m_pDlg).m_btnGoto->click();
    EXPECT_EQ(10, Rows());
    EXPECT_EQ((QStringList{ResString(144), ResString(144), ResString(144), ResString(144),
                           ResString(143)}),
              m_prompts.m_messages);
}

TEST_F(BrowserDialog, LayoutsHaveTheirColumnsAndAFixedHeader) {
    CListCtrlEx* list = Peek(*m_pDlg).m_list;
    EXPECT_EQ(2, list->m_nLayout);
    EXPECT_EQ(11, list->ColumnCount());
    EXPECT_EQ(ResString(138), list->HeaderText(7));
    EXPECT_EQ(138, list->columnWidth(6));
    list->SetGraphicLayout();
    EXPECT_EQ(1, list->m_nLayout);
    EXPECT_EQ(10, list->ColumnCount());
    EXPECT_EQ(ResString(136), list->HeaderText(7));
    g_bHasMatrixTable = true;
    list->SetGraphicLayout();
    EXPECT_EQ(11, list->ColumnCount());
    EXPECT_EQ(72, list->columnWidth(9));
    EXPECT_FALSE(list->horizontalHeader()->isEnabled());
    EXPECT_FALSE(list->horizontalHeader()->sectionsClickable());
    EXPECT_FALSE(list->isSortingEnabled());
}

TEST_F(BrowserDialog, CharRowsCountTextRecordLines) {
    OpenPackage();
    AddCharRows("unix_sms_log", 2);
    browser::test::WriteFile(m_pkg / "var/utm/data/sessions/t0", "a\nb\nc\n");
    m_pDlg->BrowseOpenPackage();
    ASSERT_EQ(2, Rows());
    EXPECT_EQ("3", Cell(0, 7));
    EXPECT_EQ("0", Cell(1, 7));
    EXPECT_EQ(ResString(152), Cell(0, 8));
    EXPECT_EQ(ResString(154), Cell(0, 10));
    EXPECT_EQ(QString::fromStdString((m_pkg / "var/utm/data/sessions/t0").string()),
              Peek(*m_pDlg).m_list->Model().CharRecords()[0].strPath);
}

TEST_F(BrowserDialog, SelectorSwitchesViewsAndKinds) {
    Choose(0);  // no package yet: nothing happens
    EXPECT_EQ(2, Peek(*m_pDlg).m_list->m_nLayout);

    g_bHasMatrixTable = true;  // a package flag: known when the package opens
    OpenPackage();
    AddGraphicRow("unix_xapp_log", 1, "x1");
    AddGraphicRow("unix_vsms_log", 2, "v1");
    AddGraphicRow("unix_vsms_log", 3, "v2");
    AddApp(21, "v1");
    AddApp(22, "x1");
    browser::test::WriteFile(m_pkg / "var/utm/data/sessions/v1.rec", std::string(1048576, 'r'));
    Peek(*m_pDlg).m_comboAudit->insertItem(4, ResString(161));

    Choose(0);
    EXPECT_EQ(0, Peek(*m_pDlg).m_list->m_nKind);
    EXPECT_EQ(1, Peek(*m_pDlg).m_list->m_nLayout);
    EXPECT_EQ(1, Rows());
    EXPECT_EQ(ResString(160), Cell(0, 10));
    EXPECT_EQ(10, Peek(*m_pDlg).m_list->Model().GraphicRecords()[0].nCode);
    EXPECT_EQ("-", Cell(0, 7));

    Choose(1);
    EXPECT_EQ(1, Peek(*m_pDlg).m_list->m_nKind);
    EXPECT_EQ(2, Rows());
    EXPECT_EQ("1.000M", Cell(0, 7));
    EXPECT_EQ(800, Peek(*m_pDlg).m_list->Model().GraphicRecords()[0].nWidth);

    Choose(4);
    EXPECT_EQ(1, Peek(*m_pDlg).m_list->m_nKind);  // left by the last choice of 0 or 1
    ASSERT_EQ(2, Rows());
    EXPECT_EQ("2013-05-07 08:30:00", Cell(0, 1));
    EXPECT_EQ("guest", Cell(0, 6));
    EXPECT_EQ(5, Peek(*m_pDlg).m_list->Model().GraphicRecords()[1].nCode);
    EXPECT_EQ("x1", Peek(*m_pDlg).m_list->Model().GraphicRecords()[1].strName);

    Choose(2);
    EXPECT_EQ(2, Peek(*m_pDlg).m_list->m_nLayout);
    EXPECT_EQ(0, Rows());
    EXPECT_EQ("unix_xfer_log", m_pDlg->Browser().Table());
}

TEST_F(BrowserDialog, InvalidAddressOnTypeChangeStillListsByTime) {
    OpenPackage();
    AddCharRows("unix_xfer_log", 3);
    Peek(*m_pDlg).m_editLoginAddr->setText("10.0.0.0");
    Peek(*m_pDlg).m_editLoginName->setText("user1");
    Choose(2);
    EXPECT_EQ(QStringList{ResString(145)}, m_prompts.m_messages);
    EXPECT_EQ(3, Rows());  // the name filter after the failed address is not applied
    EXPECT_EQ(
        m_pDlg->Browser().FilterClause(),
        " where login_time >= \"2013-05-01 00:00:00\" and end_time <= \"2013-05-31 23:59:59\"");
}

TEST_F(BrowserDialog, SearchAppliesFiltersAndKeepsTheListOnBadInput) {
    OpenPackage();
    AddCharRows("unix_sms_log", 20, 0, "xaby");
    AddCharRows("unix_sms_log", 20, 20, "zz");
    m_pDlg->BrowseOpenPackage();
    Peek(*m_pDlg).m_btnNext->click();
    Peek(*m_pDlg).m_btnNext->click();
    EXPECT_EQ("3", Peek(*m_pDlg).m_editPage->text());

    Peek(*m_pDlg).m_editRemoteName->setText("AB");
    Peek(*m_pDlg).m_btnSearch->setEnabled(true);
    Peek(*m_pDlg).m_btnSearch->click();
    EXPECT_EQ("Total: 20 sessions", Peek(*m_pDlg).m_staticTotal->text());
    EXPECT_EQ("3", Peek(*m_pDlg).m_editPage->text());  // only a move rewrites it
    EXPECT_EQ(15, Rows());
    EXPECT_EQ(2, Peek(*m_pDlg).m_list->m_nLayout);

    // The same filter after a change of audit type matches the same rows.
    Choose(3);
    EXPECT_EQ("Total: 20 sessions", Peek(*m_pDlg).m_staticTotal->text());

    Peek(*m_pDlg).m_editRemoteAddr->setText("10.0.0.256");
    Peek(*m_pDlg).m_btnSearch->click();
    EXPECT_EQ(QStringList{ResString(145)}, m_prompts.m_messages);
    EXPECT_EQ(15, Rows());
    EXPECT_EQ("Total: 20 sessions", Peek(*m_pDlg).m_staticTotal->text());

    Peek(*m_pDlg).m_editRemoteAddr->clear();
    Peek(*m_pDlg).m_editLoginName->setText("user3\" or \"\"=\"");
    Peek(*m_pDlg).m_btnSearch->click();
    EXPECT_EQ("Total: 0 sessions", Peek(*m_pDlg).m_staticTotal->text());
    EXPECT_EQ(nullptr, m_parent.errmsg);
}

TEST_F(BrowserDialog, JoinedViewWithoutTabTableIsEmpty) {
    OpenPackage(false);
    AddGraphicRow("unix_vsms_log", 1, "v1");
    Peek(*m_pDlg).m_comboAudit->insertItem(4, ResString(161));
    Choose(4);
    EXPECT_EQ("Total: 0 sessions", Peek(*m_pDlg).m_staticTotal->text());
    EXPECT_EQ(0, Rows());
    Peek(*m_pDlg).m_btnSearch->setEnabled(true);
    Peek(*m_pDlg).m_btnSearch->click();
    EXPECT_EQ(0, Rows());
    EXPECT_TRUE(m_prompts.m_messages.isEmpty());
}

TEST_F(BrowserDialog, DisablePagingEmptiesTheList) {
    OpenPackage();
    AddCharRows("unix_sms_log", 20);
    m_pDlg->BrowseOpenPackage();
    m_pDlg->DisablePaging();
    EXPECT_EQ(0, Rows());
    EXPECT_TRUE(Peek(*m_pDlg).m_list->Model().CharRecords().empty());
    EXPECT_FALSE(Enabled(Peek(*m_pDlg).m_btnNext));
    EXPECT_FALSE(Enabled(Peek(*m_pDlg).m_btnGoto));
}

}  // namespace

}  // namespace ui
