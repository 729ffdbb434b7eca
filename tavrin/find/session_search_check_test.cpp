// A search against reading every line: random packages with text in every source the index
// reads, imported with the real import and indexed, must give for each query exactly the lines
// and rows a plain reading of the package finds, each once, in the promised order, with the
// session, source, line and scan viewer line each leads back to.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tavrin/find/session_search.h"
#include "tavrin/testing/find_reference.h"

namespace session_index {

namespace {

using session_index::test::CRandomFindPackage;
using session_index::test::CReferenceCorpus;
using session_index::test::RefLine;

class FindCheck : public testing::Test {
  protected:
    std::string Package(unsigned seed, bool longLines) {
        return session_index::test::ImportRandomPackage(m_tmp.Str(), seed, longLines);
    }

    static std::string Describe(const SessionHit& hit, bool longLine) {
        RefLine line{hit.strView,     hit.strSession, hit.strSource, hit.bFromFile,   hit.nLine,
                     hit.nViewerLine, hit.strText,    longLine,      hit.strStartTime};
        return session_index::test::DescribeRef(line);
    }

    // The hits against the reference's lines, in order; the match is where the hit says.
    static void Compare(const std::vector<SessionHit>& hits, const std::vector<RefLine>& expected,
                        const std::string& query, const char* what) {
        std::vector<std::string> want, got;
        for (const RefLine& line : expected) want.push_back(DescribeRef(line));
        for (std::size_t i = 0; i < hits.size(); ++i) {
            const SessionHit& hit = hits[i];
            const bool longLine = i < expected.size() && expected[i].bLong;
            got.push_back(Describe(hit, longLine));
            const std::string folded = session_index::test::FoldAsciiCase(hit.strText);
            EXPECT_EQ(hit.nMatchOffset, folded.find(session_index::test::FoldAsciiCase(query)))
                << what << " [" << query << "] " << got.back().substr(0, 200);
            EXPECT_EQ(hit.nMatchLength, query.size());
        }
        if (want == got) return;
        std::size_t first = 0;
        while (first < want.size() && first < got.size() && want[first] == got[first]) ++first;
        ADD_FAILURE() << what << " [" << query << "]: " << got.size() << " hits, " << want.size()
                      << " expected; first difference at " << first << "\n  expected: "
                      << (first < want.size() ? want[first].substr(0, 300) : "(none)")
                      << "\n  found:    "
                      << (first < got.size() ? got[first].substr(0, 300) : "(none)");
    }

    // Every query of the package: all hits counted and listed, the window's first page.
    void CheckQueries(const std::string& work, unsigned seed, bool longLines, int count) {
        const CReferenceCorpus reference(work);
        ASSERT_GT(reference.Lines().size(), 1000u);
        CRandomFindPackage generator(seed + 1000, longLines);
        for (const std::string& query : generator.Queries(reference, count)) {
            const std::vector<RefLine> expected = reference.Find(query);
            SessionSearchOptions all;
            all.nMaxHits = 1000000;
            const SessionSearchResult result = SearchSessions({work}, query, all);
            EXPECT_TRUE(result.bComplete) << query;
            EXPECT_EQ(result.nTotal, expected.size()) << "[" << query << "]";
            Compare(result.hits, expected, query, "all hits");
            // The window's first page: a search that stops once it has the page.
            SessionSearchOptions page;
            page.nMaxHits = 7;
            page.bCountAll = false;
            const SessionSearchResult first = SearchSessions({work}, query, page);
            Compare(
                first.hits,
                std::vector<RefLine>(expected.begin(),
                                     expected.begin() + std::min<std::size_t>(7, expected.size())),
                query, "first page");
        }
    }

    package_import::test::CTempFolder m_tmp;
};

TEST_F(FindCheck, RandomPackagesFindWhatReadingEveryLineFinds) {
    for (unsigned seed : {11u, 12u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string work = Package(seed, false);
        if (IsSkipped()) return;
        CheckQueries(work, seed, false, 100);
    }
}

// Several packages at once (the window's "all packages"), newest session first across them,
// and the sessions of some views only.
TEST_F(FindCheck, SearchesOfTwoPackagesAndOfSomeViewsFindWhatReadingEveryLineFinds) {
    const std::vector<std::string> works = {Package(13, false), Package(14, false)};
    if (IsSkipped()) return;
    const CReferenceCorpus first(works[0]), second(works[1]);
    CRandomFindPackage generator(1013);
    const std::vector<std::vector<std::string>> viewSets = {
        {}, {"unix_sms_log"}, {"unix_xfer_log", "unix_xapp_log"}, {"unix_vsms_log"}};
    std::size_t n = 0;
    for (const std::string& query : generator.Queries(first, 30)) {
        const std::vector<std::string>& views = viewSets[n++ % viewSets.size()];
        // Each package's hits, the first package's before the second's among equal times.
        std::vector<std::pair<std::size_t, RefLine>> expected;
        for (std::size_t p = 0; p < 2; ++p) {
            for (const RefLine& line : (p == 0 ? first : second).Find(query)) {
                if (views.empty() ||
                    std::find(views.begin(), views.end(), line.strView) != views.end())
                    expected.emplace_back(p, line);
            }
        }
        std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
            return a.second.strStart > b.second.strStart;
        });
        SessionSearchOptions options;
        options.nMaxHits = 1000000;
        options.views = views;
        const SessionSearchResult result = SearchSessions(works, query, options);
        EXPECT_EQ(result.nTotal, expected.size()) << "[" << query << "]";
        std::vector<std::string> want, got;
        for (const auto& [p, line] : expected)
            want.push_back(std::to_string(p) + "|" + session_index::test::DescribeRef(line));
        for (const SessionHit& hit : result.hits) {
            const std::size_t p = hit.strWorkFolder == works[0] ? 0 : 1;
            got.push_back(std::to_string(p) + "|" + Describe(hit, false));
        }
        EXPECT_EQ(got, want) << "[" << query << "]";
    }
}

TEST_F(FindCheck, LinesLongerThanAPieceAreFoundOnceUnderTheirNumber) {
    const std::string work = Package(21, true);
    if (IsSkipped()) return;
    // The texts placed deep in, and across the end of, the first piece are there to be found.
    const CReferenceCorpus reference(work);
    for (const char* query : {"DEEP-LONG-NEEDLE", "EDGE-LONG-NEEDLE", "NEAR-LONG-NEEDLE"})
        EXPECT_EQ(reference.Find(query).size(), 1u) << query;
    CheckQueries(work, 21, true, 25);
}

}  // namespace

}  // namespace session_index
