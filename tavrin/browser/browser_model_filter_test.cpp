// Which rows the browser model lists for a filter, against the reference of
// tavrin/testing/filter_reference.h: random tables in a real Parent.db, random filters, and
// every page walked as the window walks them.
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "tavrin/browser/browser_model.h"
#include "tavrin/testing/browser_test_support.h"
#include "tavrin/testing/filter_reference.h"

namespace {

using browser::AuditView;
using browser::BrowserRow;
using browser::BrowserUpdate;
using browser::CBrowserModel;
using browser::test::CompareListed;
using browser::test::kViews;
using browser::test::RefFilter;
using browser::test::RefPackage;
using browser::test::RefRow;
using browser::test::ViewName;

// What identifies a listed row (see RefPackage::ViewRows).
std::string RowId(AuditView view, const BrowserRow& row) {
    if (view == AuditView::Joined) return row.cells[1].toStdString();
    if (browser::LayoutOfView(view) == browser::ListLayout::kChar)
        return row.charRecord.strKeyBytes;
    return row.graphicRecord.strNameBytes;
}

class BrowserFilterCheck : public testing::Test {
  protected:
    void SetUp() override {
        const std::string path = m_tmp.Str() + "/PParent.db";
        sqlite3* db = browser::test::CreateParentDb(path);
        ASSERT_NE(nullptr, db);
        browser::test::CRefGenerator gen(20161011);
        m_package = gen.Package(100);
        ASSERT_TRUE(browser::test::WriteRefPackage(db, m_package));
        sqlite3_close(db);
        ASSERT_EQ(0, OpenDbHandle(m_handle, path));
        browser::BrowserPackage package;
        package.strName = "P";
        package.strPackageFolder = m_tmp.Str();
        package.pParentDb = &m_handle;
        package.bHasTabTable = true;
        m_model.Open(package);
    }

    // Every row the window lists from u on, paging with "next" until it is disabled; checks
    // the page sizes and the count shown on the way.
    std::vector<std::string> WalkPages(AuditView view, BrowserUpdate u, const std::string& what) {
        std::vector<std::string> ids;
        const browser::PageState first = u.screen.page;
        EXPECT_EQ(first.nTotalRows / 15 + 1, first.nPageCount) << what;
        int pages = 1;
        for (;;) {
            EXPECT_LE(u.screen.rows.size(), 15u) << what;
            if (u.screen.buttons.bNext) {
                EXPECT_EQ(15u, u.screen.rows.size()) << what;
            }
            for (const BrowserRow& row : u.screen.rows) ids.push_back(RowId(view, row));
            if (!u.screen.buttons.bNext) break;
            u = m_model.NextPage();
            EXPECT_FALSE(u.bRefused) << what;
            if (++pages > first.nPageCount) {
                ADD_FAILURE() << "next stays enabled past the last page: " << what;
                break;
            }
        }
        EXPECT_EQ(first.nPageCount, pages) << what;
        return ids;
    }

    browser::test::TempFolder m_tmp;
    DbHandle m_handle;
    CBrowserModel m_model;
    RefPackage m_package;
};

TEST_F(BrowserFilterCheck, EveryPageOfEveryViewListsExactlyTheReferencesRows) {
    browser::test::CRefGenerator gen(7);
    int nListed = 0, nEmpty = 0;
    for (int round = 0; round < 1000; ++round) {
        const AuditView view = kViews[round % 5];
        const RefFilter f = gen.Filter(m_package);
        const std::vector<RefRow> expected = m_package.Expected(view, f);
        const std::string what =
            std::string(ViewName(view)) + " round " + std::to_string(round) + ": " + f.Describe();
        // A change of audit type applies the fields; so does a search in the view.
        BrowserUpdate u;
        if (round % 2 == 0) {
            u = m_model.ChangeView(view, f.Values());
        } else {
            RefFilter none;
            none.strFrom = none.strTo = "2000-01-01 00:00:00";
            m_model.ChangeView(view, none.Values());
            u = m_model.Search(f.Values());
        }
        ASSERT_EQ(0, u.nMessage) << what;
        // A search refused for a bad address changes none of what the pages list.
        if (round % 7 == 3) {
            browser::FilterValues bad = f.Values();
            bad.strRemoteAddr = u"10.0.0.0";
            const BrowserUpdate refused = m_model.Search(bad);
            EXPECT_TRUE(refused.bRefused) << what;
            EXPECT_EQ(browser::kMsgBadAddress, refused.nMessage) << what;
        }
        EXPECT_EQ(static_cast<int>(expected.size()), u.screen.page.nTotalRows) << what;
        const std::vector<std::string> listed = WalkPages(view, u, what);
        EXPECT_EQ("", CompareListed(expected, listed)) << what;

        // Going to a page, back one and to the first show the same rows as the walk did there.
        if (round % 3 == 0 && u.screen.page.nPageCount > 1) {
            const int page = gen.Int(2, u.screen.page.nPageCount);
            auto shownAt = [&](const BrowserUpdate& g) {
                std::vector<std::string> shown;
                for (const BrowserRow& row : g.screen.rows) shown.push_back(RowId(view, row));
                return shown;
            };
            auto walkedAt = [&](int n) {
                const size_t from = std::min(static_cast<size_t>(n - 1) * 15, listed.size());
                const size_t to = std::min(from + 15, listed.size());
                return std::vector<std::string>(listed.begin() + static_cast<long>(from),
                                                listed.begin() + static_cast<long>(to));
            };
            const BrowserUpdate g = m_model.GotoPage(platform::Utf8ToUtf16(std::to_string(page)));
            EXPECT_EQ(walkedAt(page), shownAt(g)) << "page " << page << " " << what;
            EXPECT_EQ(walkedAt(page - 1), shownAt(m_model.PrevPage()))
                << "back from page " << page << " " << what;
            const BrowserUpdate first = m_model.FirstPage();
            EXPECT_EQ(walkedAt(1), shownAt(first)) << "first page " << what;
            EXPECT_EQ(u.screen.page.nTotalRows, first.screen.page.nTotalRows) << what;
        }
        // The export of the view writes what the pages list.
        if (round % 4 == 1) {
            std::vector<std::string> exported;
            EXPECT_TRUE(m_model.ForEachRow([&](long long, const BrowserRow& row) {
                exported.push_back(RowId(view, row));
                return true;
            }));
            EXPECT_EQ(listed, exported) << "export " << what;
        }
        (expected.empty() ? nEmpty : nListed)++;
    }
    // The filters are neither all empty-handed nor all unfiltered.
    EXPECT_GT(nListed, 300);
    EXPECT_GT(nEmpty, 60);
}

}  // namespace
