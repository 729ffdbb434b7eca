// The main window as the user sees it, offscreen: its size on a 1280x800 screen, a page of
// 15 rows without scroll bars, the list following the window, the remembered size, tooltips,
// English plurals and Qt's own texts in Chinese.
#include <memory>

#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTranslator>

#include <gtest/gtest.h>

#include "tavrin/testing/tavrin_dlg_test_access.h"
#include "tavrin/testing/ui_test_support.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/qt_translations.h"
#include "tavrin/workspace/package_flags.h"

namespace ui {

namespace {

using test::FrameDialogTest;
using test::Peek;

// What the browser returns after counting nTotal rows, with no page shown.
browser::BrowserUpdate Counted(int nTotal) {
    browser::BrowserUpdate update;
    update.screen.bCounted = true;
    update.screen.page = browser::StartPagingState(nTotal);
    return update;
}

class WindowTest : public FrameDialogTest {
  protected:
    void SetUp() override {
        FrameDialogTest::SetUp();
        // The remembered size goes to a settings file of the test's own.
        qputenv("XDG_CONFIG_HOME", (TempPath() + "/config").toUtf8());
        g_bHasMatrixTable = false;
    }
    void TearDown() override {
        g_bHasMatrixTable = false;
        qunsetenv("XDG_CONFIG_HOME");
        FrameDialogTest::TearDown();
    }

    // A page of 15 rows whose texts are longer than their columns.
    static void FillPage(CListCtrlEx& list) {
        CSessionTableModel::Cells cells;
        for (int col = 1; col < CSessionTableModel::kMaxColumns; ++col)
            cells[col] = QStringLiteral("2013-05-07 08:00:00 财务系统数据库管理员 %1").arg(col);
        for (int i = 0; i < 15; ++i) {
            if (list.m_nLayout == 2)
                list.Model().AppendCharRow(cells, i, StringData());
            else
                list.Model().AppendGraphicRow(cells, drpData());
        }
    }
    static void Settle(QWidget& w) {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
        (void)w;
    }
    // Every row of the page lies inside the list's viewport, and no scroll bar is needed.
    static void ExpectWholePageVisible(const CListCtrlEx& list, const char* what) {
        EXPECT_EQ(list.verticalScrollBar()->maximum(), 0) << what;
        EXPECT_EQ(list.horizontalScrollBar()->maximum(), 0) << what;
        const QRect last = list.visualRect(list.model()->index(14, list.ColumnCount() - 1));
        EXPECT_TRUE(list.viewport()->rect().contains(last)) << what;
    }
};

TEST_F(WindowTest, DefaultSizeFitsA1280x800ScreenAndShowsAWholePageInEveryLayout) {
    CTavrinDlg dlg;
    // Room for a window frame and a panel on a 1280x800 screen.
    EXPECT_LE(dlg.width(), 1260);
    EXPECT_LE(dlg.height(), 730);
    // No control of the template covers another (the group box frames the filters).
    QWidget* form = Peek(dlg).m_btnOpen->parentWidget();
    QList<QWidget*> controls;
    for (QWidget* w : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!w->inherits("QGroupBox")) controls << w;
    for (int i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(form->rect().contains(controls[i]->geometry()))
            << controls[i]->objectName().toStdString();
        for (int j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << controls[i]->objectName().toStdString() << " and "
                << controls[j]->objectName().toStdString();
    }
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    CListCtrlEx& list = *Peek(dlg).m_list;

    list.SetCharLayout();
    FillPage(list);
    Settle(dlg);
    ExpectWholePageVisible(list, "character layout");

    for (bool bMatrix : {false, true}) {
        g_bHasMatrixTable = bMatrix;
        list.SetGraphicLayout();
        FillPage(list);
        Settle(dlg);
        ExpectWholePageVisible(list, bMatrix ? "graphical layout, three actions" : "graphical");
        // No column is cut to nothing: every text column keeps a readable width.
        for (int col = 1; col <= 6; ++col) EXPECT_GE(list.columnWidth(col), 60);
        for (int col = 7; col < list.ColumnCount(); ++col)
            EXPECT_EQ(list.columnWidth(col), list.LayoutWidth(col)) << "column " << col;
    }
}

TEST_F(WindowTest, TheWindowResizesAndMaximisesAndTheListAndBottomRowsFollow) {
    CTavrinDlg dlg;
    EXPECT_TRUE(dlg.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_LT(dlg.minimumWidth(), dlg.maximumWidth());
    EXPECT_LT(dlg.minimumHeight(), dlg.maximumHeight());
    const QSize original = dlg.size();
    const int nNextBelowList =
        Peek(dlg).m_btnNext->geometry().top() - Peek(dlg).m_list->geometry().bottom();
    const int nStatusRight = dlg.width() - Peek(dlg).m_editStatus->geometry().right();
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));

    dlg.resize(original + QSize(300, 200));
    Settle(dlg);
    EXPECT_EQ(Peek(dlg).m_list->geometry(), dlg.rect().adjusted(30, 230, -30, -70));
    EXPECT_EQ(Peek(dlg).m_btnNext->geometry().top() - Peek(dlg).m_list->geometry().bottom(),
              nNextBelowList);
    EXPECT_EQ(dlg.width() - Peek(dlg).m_editStatus->geometry().right(), nStatusRight);
    EXPECT_TRUE(Peek(dlg).m_editStatus->isVisible());
    // A wide enough list keeps the layout's widths.
    for (int col = 0; col < Peek(dlg).m_list->ColumnCount(); ++col)
        EXPECT_EQ(Peek(dlg).m_list->columnWidth(col), Peek(dlg).m_list->LayoutWidth(col)) << col;

    // Never smaller than the template: the controls keep their places.
    dlg.resize(400, 300);
    Settle(dlg);
    EXPECT_EQ(dlg.size(), original);
    EXPECT_EQ(Peek(dlg).m_list->geometry(), dlg.rect().adjusted(30, 230, -30, -70));
}

TEST_F(WindowTest, TheSizeTheUserChoseIsRememberedForTheNextRun) {
    QSize chosen;
    {
        CTavrinDlg dlg;
        chosen = dlg.size() + QSize(120, 60);
        dlg.resize(chosen);
        dlg.EndDialogDefault();
    }
    CTavrinDlg next;
    // Never larger than the screen's room.
    QSize expected = chosen;
    if (const QScreen* screen = next.screen())
        expected = expected.boundedTo(screen->availableGeometry().size());
    EXPECT_EQ(next.size(), expected.expandedTo(next.minimumSize()));
    EXPECT_EQ(Peek(next).m_list->geometry(), next.rect().adjusted(30, 230, -30, -70));
}

TEST_F(WindowTest, ANewPageOpensAtItsFirstRow) {
    CTavrinDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    CListCtrlEx& list = *Peek(dlg).m_list;
    list.resize(list.width(), 120);  // smaller than a page, so that it scrolls
    FillPage(list);
    Settle(dlg);
    list.scrollToBottom();
    Settle(dlg);
    ASSERT_GT(list.verticalScrollBar()->value(), 0);
    list.ClearRows();
    FillPage(list);
    Settle(dlg);
    EXPECT_EQ(list.verticalScrollBar()->value(), 0);
    EXPECT_EQ(list.rowAt(0), 0);
}

TEST_F(WindowTest, CountsReadNaturallyInEnglish) {
    CTavrinDlg dlg;
    dlg.ShowBrowserUpdate(Counted(1));
    EXPECT_EQ(Peek(dlg).m_staticTotal->text(), "Total: 1 session");
    EXPECT_EQ(Peek(dlg).m_staticPages->text(), "/ 1 page");
    dlg.ShowBrowserUpdate(Counted(0));
    EXPECT_EQ(Peek(dlg).m_staticTotal->text(), "Total: 0 sessions");
    EXPECT_EQ(Peek(dlg).m_staticPages->text(), "/ 1 page");
    dlg.ShowBrowserUpdate(Counted(16));
    EXPECT_EQ(Peek(dlg).m_staticTotal->text(), "Total: 16 sessions");
    EXPECT_EQ(Peek(dlg).m_staticPages->text(), "/ 2 pages");
}

class ChineseWindowTest : public WindowTest {
  protected:
    QString Module() const override { return QStringLiteral("chinese.rcc"); }
};

TEST_F(ChineseWindowTest, CountsKeepTheModulesWordsAndQtsOwnTextsAreChinese) {
    CTavrinDlg dlg;
    dlg.ShowBrowserUpdate(Counted(1));
    EXPECT_EQ(Peek(dlg).m_staticTotal->text(), ResString(147) + " 1 " + ResString(148));
    EXPECT_EQ(Peek(dlg).m_staticPages->text(), "/ 1 " + ResString(149));

    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), "OK");  // none left over
    QTranslator* translator = InstallQtTranslations(true);
    ASSERT_NE(translator, nullptr) << "qt6-translations-l10n is not installed";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("确定"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    EXPECT_EQ(QLocale().language(), QLocale::Chinese);
    RemoveQtTranslations(translator);
    EXPECT_EQ(QLocale(), QLocale::system());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), "OK");

    EXPECT_EQ(InstallQtTranslations(false), nullptr);  // English needs none
    testing::internal::CaptureStderr();
    EXPECT_EQ(InstallQtTranslations(true, TempPath()), nullptr);  // no catalog there
    EXPECT_NE(testing::internal::GetCapturedStderr().find("qtbase_zh_CN.qm"), std::string::npos);
}

}  // namespace

}  // namespace ui
