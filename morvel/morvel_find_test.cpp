// The viewer's keyboard and find additions in the real window: Page Up / Page Down, the page on
// show, Ctrl+F and find next with its highlight, and the texts both language modules give them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "common/qt/lang_module.h"
#include "common/testing/fake_user_prompts.h"
#include "common/testing/temp_folder.h"
#include "morvel/morvel_dlg.h"
#include "morvel/my_view.h"
#include "morvel/ui_test_support.h"
#include "platform/process_control.h"

namespace fs = std::filesystem;

namespace {

const common::CLangModule& Module() {
    return morvel::test::TestEnglishModule();
}

class MorvelFindTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root = m_temp.Path();
        fs::create_directories(m_root / "processid");
        fs::create_directories(m_root / "pkg/var/utm/data/sessions");
    }
    // 60 numbered lines; the given ones (index -> text) replaced.
    std::unique_ptr<CMorvelDlg> Open(const std::map<int, std::string>& special, int count = 60,
                                     const std::string& commandLine = "~1 ~17 ~s1 ~pkg") {
        std::ofstream out(m_root / "pkg/var/utm/data/sessions/s1.scan", std::ios::binary);
        for (int i = 0; i < count; ++i) {
            auto it = special.find(i);
            out << (it != special.end() ? it->second : "line " + std::to_string(i)) << "\r\n";
        }
        out.close();
        auto dlg = std::make_unique<CMorvelDlg>(Module(), commandLine, m_root.string());
        dlg->show();
        QApplication::setActiveWindow(dlg.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
        return dlg;
    }
    // Types text into the find field after Ctrl+F and presses Enter there.
    void Find(CMorvelDlg& dlg, const QString& text) {
        QTest::keyClick(&dlg, Qt::Key_F, Qt::ControlModifier);
        EXPECT_TRUE(dlg.m_editFind->hasFocus());
        dlg.m_editFind->insert(text);  // replaces the old text, which Ctrl+F selected
        QTest::keyClick(dlg.m_editFind, Qt::Key_Return);
    }

    common::test::CTempFolder m_temp;
    fs::path m_root;
    common::test::CFakeUserPrompts m_prompts;
    const QStringList& m_messages = m_prompts.m_messages;
};

}  // namespace

TEST_F(MorvelFindTest, PageKeysFollowTheButtonsAndTheCurrentPageIsShown) {
    auto dlg = Open({});
    EXPECT_EQ(dlg->m_staticCurrentPage->text(), QStringLiteral("Page 1 of 3"));
    QTest::keyClick(dlg.get(), Qt::Key_PageUp);  // previous is disabled on page 1
    EXPECT_EQ(dlg->m_nPage, 1);
    QTest::keyClick(dlg.get(), Qt::Key_PageDown);
    EXPECT_EQ(dlg->m_nPage, 2);
    EXPECT_EQ(dlg->m_pageLines.front(), "line 25");
    EXPECT_TRUE(dlg->m_btnPrevPage->isEnabled());
    EXPECT_EQ(dlg->m_staticCurrentPage->text(), QStringLiteral("Page 2 of 3"));
    // Also while typing in the page field, whose text the keys leave alone.
    dlg->m_editGotoPage->setFocus();
    QTest::keyClicks(dlg->m_editGotoPage, QStringLiteral("1"));
    QTest::keyClick(dlg->m_editGotoPage, Qt::Key_PageDown);
    QTest::keyClick(dlg->m_editGotoPage, Qt::Key_PageDown);
    EXPECT_EQ(dlg->m_nPage, 3);
    EXPECT_FALSE(dlg->m_btnNextPage->isEnabled());
    EXPECT_EQ(dlg->m_editGotoPage->text(), QStringLiteral("1"));
    EXPECT_EQ(dlg->m_staticCurrentPage->text(), QStringLiteral("Page 3 of 3"));
    // Every way of changing page names the new one.
    dlg->m_btnGotoPage->click();
    EXPECT_EQ(dlg->m_staticCurrentPage->text(), QStringLiteral("Page 1 of 3"));
    EXPECT_TRUE(m_messages.empty());

    // With no lines there is no page, and the keys find nothing to page to.
    auto empty = Open({}, 0);
    EXPECT_EQ(empty->m_staticCurrentPage->text(), QStringLiteral("Page 0 of 0"));
    QTest::keyClick(empty.get(), Qt::Key_PageDown);
    EXPECT_EQ(empty->m_nPage, 1);
    EXPECT_TRUE(empty->m_pageLines.empty());
}

TEST_F(MorvelFindTest, FindNextVisitsEveryOccurrencePageByPageAndWraps) {
    auto dlg = Open({{2, "dir c:\\ needle"}, {30, "Needle; NEEDLE"}, {55, "net needle"}});
    Find(*dlg, QStringLiteral("needle"));
    // Enter searched, and did not reach the go button (its empty field would give message 131).
    EXPECT_TRUE(m_messages.empty());
    ASSERT_TRUE(dlg->m_findMatch);
    EXPECT_EQ(dlg->m_findMatch->nLine, 2u);
    EXPECT_EQ(dlg->MatchRowOnPage(), 2);

    std::vector<std::pair<int, size_t>> visits;  // page, column
    for (int i = 0; i < 4; ++i) {
        dlg->m_btnFindNext->click();
        visits.push_back({dlg->m_nPage, dlg->m_findMatch->nColumn});
    }
    const std::vector<std::pair<int, size_t>> expected = {{2, 0}, {2, 8}, {3, 4}, {1, 8}};
    EXPECT_EQ(visits, expected);
    EXPECT_EQ(dlg->m_staticCurrentPage->text(), QStringLiteral("Page 1 of 3"));
    EXPECT_FALSE(dlg->m_btnPrevPage->isEnabled());

    // Paged away from the last match: F3 goes on from the top of the page on show.
    QTest::keyClick(dlg.get(), Qt::Key_PageDown);
    QTest::keyClick(dlg.get(), Qt::Key_PageDown);
    QTest::keyClick(dlg.get(), Qt::Key_F3);
    EXPECT_EQ(dlg->m_findMatch->nLine, 55u);
    EXPECT_EQ(dlg->m_nPage, 3);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(MorvelFindTest, NoOccurrenceTellsTheUserAndKeepsThePage) {
    auto dlg = Open({{40, "whoami"}});
    QTest::keyClick(dlg.get(), Qt::Key_PageDown);
    Find(*dlg, QStringLiteral("whoami"));
    EXPECT_EQ(dlg->m_nPage, 2);
    EXPECT_EQ(dlg->MatchRowOnPage(), 15);
    Find(*dlg, QStringLiteral("format d:"));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0],
              QStringLiteral("\"format d:\" was not found in the scan lines of this session."));
    EXPECT_EQ(dlg->m_nPage, 2);
    EXPECT_EQ(dlg->MatchRowOnPage(), -1);
    // An empty field searches nothing and says nothing; it only takes the focus.
    dlg->m_editFind->clear();
    dlg->m_btnFindNext->click();
    EXPECT_EQ(m_messages.size(), 1u);
    EXPECT_TRUE(dlg->m_editFind->hasFocus());
}

TEST_F(MorvelFindTest, TheOccurrenceIsDrawnHighlightedAndScrolledIntoSight) {
    // GBK "查询用户" far to the right of a long line.
    auto dlg = Open({{5, std::string(300, '.') + "\xB2\xE9\xD1\xAF\xD3\xC3\xBB\xA7"}});
    Find(*dlg, QString::fromUtf8("用户"));
    ASSERT_EQ(dlg->MatchRowOnPage(), 5);
    EXPECT_EQ(dlg->m_findMatch->nColumn, 302u);
    QApplication::processEvents();
    const QRect match = dlg->m_pView->MatchRect(5);
    QScrollBar* h = dlg->m_pView->horizontalScrollBar();
    EXPECT_GE(match.left(), h->value());
    EXPECT_LE(match.right(), h->value() + dlg->m_pView->viewport()->width());

    const QImage image = dlg->m_pView->viewport()->grab().toImage();
    const QRgb highlight = dlg->m_pView->palette().color(QPalette::Highlight).rgb();
    const int x = match.center().x() - h->value();
    int rows = 0;
    for (int y = 0; y < image.height(); ++y)
        if (image.pixel(x, y) == highlight) ++rows;
    // The highlight covers the one text row of the occurrence, nothing else.
    EXPECT_GE(rows, 8);
    EXPECT_LE(rows, match.height());
}

TEST(MorvelLanguageModules, BothLanguagesGiveTheNewTextsAndControls) {
    const fs::path source =
        std::getenv("TAVRIN_SOURCE_DIR") ? std::getenv("TAVRIN_SOURCE_DIR") : "";
    ASSERT_FALSE(source.empty());
    for (const char* module : {"Morvel_en", "Morvel_zh"}) {
        QFile strings(QString::fromStdString((source / "lang" / module / "strings.txt").string()));
        ASSERT_TRUE(strings.open(QIODevice::ReadOnly)) << module;
        const QHash<int, QString> table = common::CLangModule::ParseStringTable(strings.readAll());
        // The page text takes the page and the count; the message names the text sought.
        EXPECT_TRUE(table.value(133).contains("%1") && table.value(133).contains("%2")) << module;
        EXPECT_TRUE(table.value(134).contains("%1")) << module;
        QFile form(QString::fromStdString((source / "lang" / module / "dialog102.ui").string()));
        ASSERT_TRUE(form.open(QIODevice::ReadOnly)) << module;
        const QByteArray ui = form.readAll();
        for (const char* id : {"\"1008\"", "\"1009\"", "\"1010\""})
            EXPECT_TRUE(ui.contains(id)) << module << id;
    }
}

TEST_F(MorvelFindTest, AFifthFieldOpensThePageOfTheMatchHighlighted) {
    // Occurrences on the last line of page 1, the first of page 2 and on page 3.
    const std::map<int, std::string> lines = {
        {24, "rm -RF /tmp"}, {25, "again rm -rf /tmp"}, {55, "payroll \xC9\xF3\xBC\xC6"}};
    const auto open = [&](const std::string& text, int from) {
        return Open(lines, 60, "~1 ~17 ~s1 ~pkg ~" + common::EncodeViewerFindField({text, from}));
    };
    auto dlg = open("rm -rf", 0);
    EXPECT_EQ(dlg->m_nPage, 1);
    EXPECT_EQ(dlg->MatchRowOnPage(), 24);
    EXPECT_EQ(dlg->m_editFind->text(), QStringLiteral("rm -rf"));
    // Find next goes on from the match shown, to the first line of page 2.
    dlg->OnFindNext();
    EXPECT_EQ(dlg->m_nPage, 2);
    EXPECT_EQ(dlg->MatchRowOnPage(), 0);
    dlg.reset();

    // From a later line the search starts there; Chinese (GBK in the file) is found too.
    dlg = open("rm -rf", 25);
    EXPECT_EQ(dlg->m_nPage, 2);
    EXPECT_EQ(dlg->MatchRowOnPage(), 0);
    dlg.reset();
    dlg = open("审计", 0);
    EXPECT_EQ(dlg->m_nPage, 3);
    EXPECT_EQ(dlg->MatchRowOnPage(), 5);
    dlg.reset();

    // A text the viewer does not hold leaves page 1, and no message box.
    dlg = open("absent text", 0);
    EXPECT_EQ(dlg->m_nPage, 1);
    EXPECT_EQ(dlg->MatchRowOnPage(), -1);
    EXPECT_TRUE(m_messages.empty());
}
