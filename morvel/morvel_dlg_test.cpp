#include "morvel/morvel_dlg.h"
#include "common/testing/temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <filesystem>
#include <fstream>
#include <memory>

#include "common/qt/lang_module.h"
#include "common/testing/fake_user_prompts.h"
#include "morvel/command_line.h"
#include "morvel/my_view.h"
#include "morvel/ui_test_support.h"
#include "platform/process_control.h"

namespace fs = std::filesystem;

namespace {

const common::CLangModule& English() {
    return morvel::test::TestEnglishModule();
}

// A program folder of the test's own with a registry folder and a package "pkg" whose session
// "s1" has a ".scan" file, and a recorder in place of the message box.
class MorvelDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root = m_temp.Path();
        fs::create_directories(m_root / "processid");
        fs::create_directories(Sessions());
    }
    fs::path Sessions() const { return m_root / "pkg/var/utm/data/sessions"; }
    fs::path Entry() const {
        return m_root / "processid" / std::to_string(platform::CurrentProcessId());
    }
    void WriteScan(const std::vector<std::string>& lines) {
        std::ofstream out(Sessions() / "s1.scan", std::ios::binary);
        for (const std::string& line : lines) out << line << "\r\n";
    }
    void WriteNumbered(int count) {
        std::vector<std::string> lines;
        for (int i = 1; i <= count; ++i) lines.push_back("line " + std::to_string(i));
        WriteScan(lines);
    }
    std::unique_ptr<CMorvelDlg> Open(const std::string& session = "s1") {
        return std::make_unique<CMorvelDlg>(English(), "~1 ~17 ~" + session + " ~pkg",
                                            m_root.string());
    }
    void Go(CMorvelDlg& dlg, const char* text) {
        dlg.m_editGotoPage->setText(QString::fromUtf8(text));
        dlg.m_btnGotoPage->click();
    }

    common::test::CTempFolder m_temp;
    fs::path m_root;
    common::test::CFakeUserPrompts m_prompts;
    const QStringList& m_messages = m_prompts.m_messages;
};

}  // namespace

TEST_F(MorvelDlgTest, SixtyLinesPageThroughThreePagesWithTheButtons) {
    WriteNumbered(60);
    auto dlg = Open();
    EXPECT_EQ(dlg->m_strParentDb, (m_root / "pkg/pkgParent.db").string());
    EXPECT_EQ(dlg->m_nTotalLines, 60);
    EXPECT_EQ(dlg->m_nPageCount, 3);
    EXPECT_EQ(dlg->m_staticLineCount->text(), QStringLiteral("Total: 60 lines"));
    EXPECT_EQ(dlg->m_staticPageCount->text(), QStringLiteral("/3"));
    ASSERT_EQ(dlg->m_pageLines.size(), 25u);
    EXPECT_EQ(dlg->m_pageLines.front(), "line 1");
    EXPECT_FALSE(dlg->m_btnPrevPage->isEnabled());
    EXPECT_TRUE(dlg->m_btnNextPage->isEnabled());

    dlg->m_btnNextPage->click();
    EXPECT_EQ(dlg->m_nPage, 2);
    EXPECT_EQ(dlg->m_pageLines.front(), "line 26");
    EXPECT_TRUE(dlg->m_btnPrevPage->isEnabled());
    EXPECT_TRUE(dlg->m_btnNextPage->isEnabled());

    dlg->m_btnNextPage->click();
    EXPECT_EQ(dlg->m_nPage, 3);
    ASSERT_EQ(dlg->m_pageLines.size(), 10u);
    EXPECT_EQ(dlg->m_pageLines.back(), "line 60");
    EXPECT_TRUE(dlg->m_btnPrevPage->isEnabled());
    EXPECT_FALSE(dlg->m_btnNextPage->isEnabled());
    dlg->OnNextPage();  // a click that slips past the disabled button changes nothing
    EXPECT_EQ(dlg->m_nPage, 3);

    dlg->m_btnPrevPage->click();
    EXPECT_EQ(dlg->m_nPage, 2);
    dlg->m_btnFirstPage->click();
    EXPECT_EQ(dlg->m_nPage, 1);
    EXPECT_EQ(dlg->m_pageLines.front(), "line 1");
    EXPECT_FALSE(dlg->m_btnPrevPage->isEnabled());
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(MorvelDlgTest, GoToPageReadsTheDecimalPrefixAndRejectsTheRest) {
    WriteNumbered(60);
    auto dlg = Open();
    Go(*dlg, "02");
    EXPECT_EQ(dlg->m_nPage, 2);
    dlg->m_btnFirstPage->click();
    Go(*dlg, "2x");
    EXPECT_EQ(dlg->m_nPage, 2);
    EXPECT_EQ(dlg->m_pageLines.front(), "line 26");
    EXPECT_TRUE(m_messages.empty());

    for (const char* bad : {"x2", "", "0", "4", "-1", "99999999999"}) {
        Go(*dlg, bad);
        EXPECT_EQ(dlg->m_nPage, 2) << bad;
        EXPECT_EQ(dlg->m_pageLines.front(), "line 26") << bad;
    }
    ASSERT_EQ(m_messages.size(), 6u);
    EXPECT_EQ(m_messages.front(), English().String(131));
    EXPECT_FALSE(m_messages.front().isEmpty());

    Go(*dlg, " 3");
    EXPECT_EQ(dlg->m_nPage, 3);
    EXPECT_FALSE(dlg->m_btnNextPage->isEnabled());
}

TEST_F(MorvelDlgTest, OnePageAndNoLinesKeepBothPagingButtonsDisabled) {
    WriteNumbered(25);
    {
        auto dlg = Open();
        EXPECT_EQ(dlg->m_nPageCount, 1);
        EXPECT_FALSE(dlg->m_btnPrevPage->isEnabled());
        EXPECT_FALSE(dlg->m_btnNextPage->isEnabled());
        dlg->m_btnFirstPage->click();
        Go(*dlg, "1");
        EXPECT_FALSE(dlg->m_btnPrevPage->isEnabled());
        EXPECT_FALSE(dlg->m_btnNextPage->isEnabled());
        EXPECT_EQ(dlg->m_pageLines.size(), 25u);
    }
    auto empty = Open("no_such_session");
    EXPECT_EQ(empty->m_nTotalLines, 0);
    EXPECT_EQ(empty->m_nPageCount, 0);
    EXPECT_EQ(empty->m_staticPageCount->text(), QStringLiteral("/0"));
    EXPECT_FALSE(empty->m_btnPrevPage->isEnabled());
    EXPECT_FALSE(empty->m_btnNextPage->isEnabled());
    empty->m_btnFirstPage->click();
    EXPECT_TRUE(empty->m_pageLines.empty());
    Go(*empty, "1");
    EXPECT_EQ(m_messages.size(), 1u);
}

TEST_F(MorvelDlgTest, ViewWidensToTheLongestLineOfThePageOnShow) {
    std::vector<std::string> lines(25, "short");
    lines[3] = std::string(100, 'w');
    lines.push_back(std::string(10, 'n'));
    WriteScan(lines);
    auto dlg = Open();
    EXPECT_EQ(dlg->m_pView->ScrollSizes().width(), 715);
    EXPECT_EQ(dlg->m_pView->ScrollSizes().height(), dlg->m_pView->HorizontalBarHeight());
    dlg->m_btnNextPage->click();
    EXPECT_EQ(dlg->m_pView->ScrollSizes().width(), 71);
}

TEST_F(MorvelDlgTest, LinesAreDrawnFromThirtyThirtyFiveFifteenPixelsApart) {
    WriteScan({"WWWW", "WWWW"});
    auto dlg = Open();
    dlg->show();
    QApplication::processEvents();
    QImage image = dlg->m_pView->viewport()->grab().toImage();
    const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
    int left = image.width(), top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background) {
                left = std::min(left, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_GE(left, 30);
    EXPECT_LE(left, 33);
    EXPECT_GE(top, 35);
    EXPECT_LE(top, 42);
    // The second line starts 15 pixels below the first.
    EXPECT_GE(bottom, top + 15);
    EXPECT_LE(bottom, top + 15 + 20);
}

TEST_F(MorvelDlgTest, RegistryEntryLivesExactlyAsLongAsTheWindow) {
    WriteNumbered(3);
    auto dlg = Open();
    EXPECT_TRUE(fs::is_regular_file(Entry()));
    EXPECT_EQ(dlg->m_strPidFile, Entry().string());
    dlg->show();
    dlg->close();
    EXPECT_FALSE(fs::exists(Entry()));

    // Escape ends the window without a close message; it leaves the registry all the same.
    auto second = Open();
    ASSERT_TRUE(fs::exists(Entry()));
    second->show();
    second->reject();
    EXPECT_FALSE(fs::exists(Entry()));

    // A missing registry folder is not an error and is not created.
    fs::remove_all(m_root / "processid");
    auto third = Open();
    EXPECT_EQ(third->m_nTotalLines, 3);
    EXPECT_FALSE(fs::exists(m_root / "processid"));
}

TEST_F(MorvelDlgTest, WindowHasTheTemplatesFixedSizeAndAViewAboveThePagingRow) {
    WriteNumbered(1);
    auto dlg = Open();
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());
    EXPECT_EQ(dlg->m_pView->geometry(), QRect(0, 0, dlg->width(), dlg->height() - 80));
    // A full page fits in the view.
    dlg->show();
    QApplication::processEvents();
    EXPECT_GE(dlg->m_pView->viewport()->height(), 35 + 15 * 24 + 15);
    EXPECT_FALSE(dlg->windowTitle().isEmpty());
    EXPECT_FALSE(dlg->windowIcon().isNull());
}
