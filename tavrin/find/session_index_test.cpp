// Packages with known texts in every source the index reads, imported with the real import
// (7-Zip, the shell engine, the loaders), then indexed and searched.
#include "tavrin/find/session_index.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "common/db_handle.h"
#include "platform/ansi_decoder.h"
#include "platform/codepage.h"
#include "tavrin/find/find_strings.h"
#include "tavrin/find/session_index_runner.h"
#include "tavrin/find/session_search.h"
#include "tavrin/find/session_search_runner.h"
#include "tavrin/import/archive_extractor.h"
#include "tavrin/import/package_import.h"
#include "tavrin/testing/find_test_package.h"
#include "tavrin/testing/import_test_util.h"

namespace session_index {

namespace {

namespace fs = std::filesystem;

using session_index::test::CharRow;

// Writes and imports packages, then builds their indexes.
class FindTest : public testing::Test {
  protected:
    void SetUp() override {
        m_strProgram = m_tmp / "program";
        package_import::test::LayOutProgramFolder(m_strProgram);
    }

    // Imports the package built in folder stage (relative entries) as name.tar; returns its
    // work folder.
    std::string Import(const std::string& stage, const std::string& name) {
        std::string tar = m_tmp / (name + ".tar");
        EXPECT_TRUE(package_import::test::MakeTar(tar, stage, {"var"}));
        return session_index::test::ImportTar(m_strProgram, tar);
    }

    // The package of the main tests: every source holds known texts.
    std::string MainPackage() {
        const std::string stage = m_tmp / "stage1";
        session_index::test::WriteMainStage(stage, m_tmp / "outside.txt");
        return Import(stage, "audit_log_2016-09-01_2016-09-10");
    }

    SessionIndexOutcome Build(const std::string& work) {
        SessionIndexControl control;
        return BuildSessionIndex(IndexInputsForWorkFolder(work), control);
    }

    // "view|session|source|line|viewer|text" of each hit.
    static std::vector<std::string> Describe(const SessionSearchResult& result) {
        std::vector<std::string> out;
        for (const SessionHit& hit : result.hits) {
            out.push_back(hit.strView + "|" + hit.strSessionText + "|" + hit.strSource + "|" +
                          std::to_string(hit.nLine) + "|" + std::to_string(hit.nViewerLine) + "|" +
                          hit.strText);
        }
        return out;
    }

    SessionSearchResult Find(const std::string& work, const std::string& query) {
        return SearchSessions({work}, query);
    }

    package_import::test::CTempFolder m_tmp;
    std::string m_strProgram;
};

const char kS1[] = "var/utm/data/sessions/s1";

TEST_F(FindTest, EverySourceLeadsBackToItsSessionNewestFirst) {
    const std::string work = MainPackage();
    SessionIndexOutcome outcome = Build(work);
    ASSERT_EQ(outcome.status, IndexStatus::kBuilt) << outcome.strError;
    EXPECT_EQ(ReadIndexState(work).status, IndexStatus::kBuilt);

    // Character text record, ASCII case ignored; a transfer record; a scan-table row. The
    // transfer (09-03) is newer than s1 (09-02), which is newer than a1 (09-01).
    SessionSearchResult payroll = Find(work, "PAYROLL");
    EXPECT_TRUE(payroll.bComplete);
    EXPECT_EQ(Describe(payroll),
              (std::vector<std::string>{
                  "unix_xfer_log|xfer_1|var/utm/data/sessions/x1|1|-1|put payroll.xls",
                  std::string("unix_sms_log|sms_20160901_s1|") + kS1 + "|3|-1|echo 审计 payroll",
                  "unix_xapp_log|a1|utm_xapp_scan|1|-1|a1\t2016-09-01 10:00:01\tPayroll export"}));
    EXPECT_EQ(payroll.nTotal, 3u);
    ASSERT_EQ(payroll.hits.size(), 3u);
    EXPECT_EQ(
        payroll.hits[1].strText.substr(payroll.hits[1].nMatchOffset, payroll.hits[1].nMatchLength),
        "payroll");
    EXPECT_EQ(payroll.hits[1].strStartTime, "2016-09-02 10:00:00");
    EXPECT_EQ(payroll.hits[1].strLoginName, "张三");
    EXPECT_EQ(payroll.hits[1].strRemoteName, "root");
    EXPECT_EQ(payroll.hits[1].nSessionRow, 1);

    // A colon in the appliance path and a last line without a line end.
    EXPECT_EQ(Describe(Find(work, "rm -rf")),
              (std::vector<std::string>{"unix_sms_log|sms_20160901_s2|"
                                        "var/utm/data/sessions/12_30_00|1|-1|rm -rf /tmp/x"}));
    // Terminal rows of child.db, but not the size records.
    EXPECT_EQ(Describe(Find(work, "passwd")),
              (std::vector<std::string>{"unix_sms_log|sms_20160901_s1|sms_20160901_s1|2|-1|"
                                        "root\tsudo passwd root"}));
    EXPECT_TRUE(Find(work, "0002400080").hits.empty());
    // Two Chinese characters are too short for the trigram index: the scan finds them in
    // the text record and in a terminal row (GBK decoded on the way).
    EXPECT_EQ(Describe(Find(work, "审计")),
              (std::vector<std::string>{
                  std::string("unix_sms_log|sms_20160901_s1|") + kS1 + "|3|-1|echo 审计 payroll",
                  "unix_sms_log|sms_20160901_s1|sms_20160901_s1|3|-1|管理员\t审计 日志"}));
    // A scan-table row whose quotes the import doubled, with a two-character query.
    EXPECT_EQ(Describe(Find(work, "确定")),
              (std::vector<std::string>{"unix_vsms_log|v1|utm_dba_scan|1|-1|"
                                        "v1\t2016-09-04 10:00:01\t点击 \"确定\" 按钮"}));
    // Scan text of no listed session still leads to its name.
    EXPECT_EQ(Describe(Find(work, "orphan scan")),
              (std::vector<std::string>{"|ghost|utm_xapp_scan|2|-1|"
                                        "ghost\t2016-09-01 10:00:02\torphan scan text"}));
    // Package text that looks like SQL is only text.
    EXPECT_EQ(Find(work, "DROP TABLE entries").nTotal, 1u);
}

TEST_F(FindTest, ScanFilesAreNumberedAsTheScanViewerPagesThem) {
    const std::string work = MainPackage();
    ASSERT_EQ(Build(work).status, IndexStatus::kBuilt);
    const std::string dir = "unix_vsms_log|v1|var/utm/data/sessions/";
    // Lines 25 and 26 of the first named file lie on the viewer's pages 1 and 2.
    EXPECT_EQ(Describe(Find(work, "page-edge")),
              (std::vector<std::string>{dir + "v1_a.txt|25|24|PAGE-EDGE-ONE",
                                        dir + "v1_a.txt|26|25|PAGE-EDGE-TWO"}));
    // The second file follows the first in the viewer; its one long line is found whole.
    SessionSearchResult longLine = Find(work, "NEEDLE-IN-LONG");
    ASSERT_EQ(longLine.hits.size(), 1u);
    EXPECT_EQ(longLine.hits[0].nViewerLine, 26);
    EXPECT_EQ(longLine.hits[0].nMatchOffset, 300000u);
    // The ".scan" file is indexed but not shown by the viewer when named files give lines;
    // a session with no named file shows its ".scan" file from line 0.
    EXPECT_EQ(Describe(Find(work, "scan only")),
              (std::vector<std::string>{dir + "v1.scan|1|-1|scan only secret"}));
    EXPECT_EQ(Describe(Find(work, "财务系统")),
              (std::vector<std::string>{
                  "unix_xapp_log|a1|var/utm/data/sessions/a1.scan|1|0|打开 财务系统"}));
    // A named file outside the package is never read.
    EXPECT_EQ(Find(work, "OUTSIDE-SECRET").nTotal, 0u);
}

TEST_F(FindTest, UndecodableBytesStayVisibleAndLineEndsAreDropped) {
    const std::string work = MainPackage();
    ASSERT_EQ(Build(work).status, IndexStatus::kBuilt);
    EXPECT_EQ(Describe(Find(work, "\\xFF")),
              (std::vector<std::string>{std::string("unix_sms_log|sms_20160901_s1|") + kS1 +
                                        "|5|-1|bad \\xFF\\xFE end"}));
    // Wildcards of SQL and FTS5's syntax are plain characters here.
    EXPECT_EQ(Describe(Find(work, "\"确定\"")),
              (std::vector<std::string>{"unix_vsms_log|v1|utm_dba_scan|1|-1|"
                                        "v1\t2016-09-04 10:00:01\t点击 \"确定\" 按钮"}));
    EXPECT_EQ(Find(work, "NEAR(").nTotal, 0u);
    EXPECT_EQ(Find(work, "\"").nTotal, 1u);
    EXPECT_EQ(Find(work, "%").nTotal, 0u);
    EXPECT_EQ(Find(work, "_1").nTotal, 0u);
    EXPECT_EQ(Find(work, "").nTotal, 0u);
}

TEST_F(FindTest, HitsAreCappedAndCountedAcrossPackages) {
    const std::string first = MainPackage();
    ASSERT_EQ(Build(first).status, IndexStatus::kBuilt);

    SessionSearchResult many = Find(first, "repeat-me");
    EXPECT_EQ(many.nTotal, 1500u);
    ASSERT_EQ(many.hits.size(), 1000u);
    EXPECT_EQ(many.hits.back().nLine, 1001);
    SessionSearchOptions firstPage;
    firstPage.nMaxHits = 10;
    firstPage.bCountAll = false;
    EXPECT_EQ(SearchSessions({first}, "repeat-me", firstPage).hits.size(), 10u);

    // A newer package: its session comes before every session of the first.
    const std::string stage = m_tmp / "stage2";
    const std::string dump = stage + "/var/tmp/backup_log/data_2016-10-01_2016-10-10/";
    package_import::test::WriteFile(
        dump + "unix_sms_log.bak",
        CharRow("1", "2016-10-02 08:00:00", "sms_20161001_t1", "/var/utm/data/sessions/t1.txt"));
    package_import::test::WriteFile(stage + "/var/utm/data/sessions/t1", "vi payroll.txt\n");
    for (const char* empty :
         {"unix_xfer_log.bak", "unix_vsms_log.bak", "unix_xapp_log.bak", "utm2dba.bak",
          "utm_xapp_scan.bak", "utm_dba_scan.bak", "sub_table_sms.sql"})
        package_import::test::WriteFile(dump + empty, "");
    const std::string second = Import(stage, "audit_log_2016-10-01_2016-10-10");
    ASSERT_EQ(Build(second).status, IndexStatus::kBuilt);

    SessionSearchResult both = SearchSessions({first, second}, "payroll");
    EXPECT_EQ(both.nTotal, 4u);
    ASSERT_EQ(both.hits.size(), 4u);
    EXPECT_EQ(both.hits[0].strPackage, "audit_log_2016-10-01_2016-10-10");
    EXPECT_EQ(both.hits[0].strText, "vi payroll.txt");
    EXPECT_EQ(both.hits[1].strView, "unix_xfer_log");
    ASSERT_EQ(both.packages.size(), 2u);
    EXPECT_EQ(both.packages[1].status, IndexStatus::kBuilt);
}

TEST_F(FindTest, SearchSaysWhenTheIndexIsNotComplete) {
    const std::string work = MainPackage();
    // Not built yet.
    SessionSearchResult none = Find(work, "payroll");
    EXPECT_FALSE(none.bComplete);
    ASSERT_EQ(none.packages.size(), 1u);
    EXPECT_EQ(none.packages[0].status, IndexStatus::kMissing);

    // A build stopped before it began records that, and the search passes it on.
    SessionIndexControl control;
    control.bStopRequested = true;
    EXPECT_EQ(BuildSessionIndex(IndexInputsForWorkFolder(work), control).status,
              IndexStatus::kStopped);
    SessionSearchResult stopped = Find(work, "payroll");
    EXPECT_FALSE(stopped.bComplete);
    EXPECT_EQ(stopped.packages[0].status, IndexStatus::kStopped);
    EXPECT_LT(PercentDone(stopped.packages[0].nDone, stopped.packages[0].nTotal), 100);

    // The runner rebuilds it from scratch on its thread and reports the end.
    CSessionIndexRunner runner;
    EXPECT_EQ(runner.State("p").status, IndexStatus::kMissing);
    std::atomic<int> calls{0};
    ASSERT_TRUE(runner.Queue("p", IndexInputsForWorkFolder(work),
                             [&](const std::string&, const SessionIndexOutcome&) { ++calls; }));
    runner.WaitIdle();
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(runner.State("p").status, IndexStatus::kBuilt);
    EXPECT_EQ(runner.State("p").nPercent, 100);
    EXPECT_TRUE(Find(work, "payroll").bComplete);
    EXPECT_EQ(Find(work, "payroll").nTotal, 3u);
}

TEST_F(FindTest, LinesLongerThanAPieceAreFoundUnderTheirNumber) {
    const std::string work = MainPackage();
    // 2.5 MiB in one line, then a short line: the line is indexed in pieces.
    std::string huge(2621440, 'q');
    huge.replace(2600000, 11, "FAR-NEEDLE!");
    package_import::test::WriteFile(work + "/var/utm/data/sessions/a1.scan", huge + "\nafter it\n");
    ASSERT_EQ(Build(work).status, IndexStatus::kBuilt);
    SessionSearchResult far = Find(work, "FAR-NEEDLE");
    ASSERT_EQ(far.hits.size(), 1u);
    EXPECT_EQ(far.hits[0].nLine, 1);
    EXPECT_EQ(far.hits[0].nViewerLine, 0);
    EXPECT_LE(far.hits[0].strText.size(), 1u << 20);
    EXPECT_EQ(far.hits[0].strText.substr(far.hits[0].nMatchOffset, 10), "FAR-NEEDLE");
    SessionSearchResult after = Find(work, "after it");
    ASSERT_EQ(after.hits.size(), 1u);
    EXPECT_EQ(after.hits[0].nLine, 2);
}

// Neighbouring pieces of a long line share text: a line holding the query in several pieces
// is one hit, and a text across the end of a piece (Chinese split between its two bytes
// included) is found in the next.
TEST_F(FindTest, ALongLineIsOneHitAndTextAcrossTheEndOfAPieceIsFound) {
    const std::string work = MainPackage();
    const std::size_t end = 1u << 20;  // of the first piece
    std::string first(2621440, 'q'), second(1200000, 'q');
    first.replace(end - 5, 11, "EDGE-NEEDLE");
    // The first piece ends between the two bytes of a character.
    second.replace(end - 2, 9, " " + session_index::test::Gbk("审计日志"));
    package_import::test::WriteFile(work + "/var/utm/data/sessions/a1.scan",
                                    first + "\n" + second + "\r\nqq\n");
    ASSERT_EQ(Build(work).status, IndexStatus::kBuilt);
    const SessionSearchResult edge = Find(work, "edge-needle");
    ASSERT_EQ(edge.nTotal, 1u);
    EXPECT_EQ(edge.hits[0].nLine, 1);
    EXPECT_EQ(edge.hits[0].strText.substr(edge.hits[0].nMatchOffset, 11), "EDGE-NEEDLE");
    const SessionSearchResult chinese = Find(work, "审计日");
    ASSERT_EQ(chinese.nTotal, 1u);
    EXPECT_EQ(chinese.hits[0].nLine, 2);
    const SessionSearchResult lines = Find(work, "q");
    EXPECT_EQ(lines.nTotal, 3u);
    ASSERT_EQ(lines.hits.size(), 3u);
    EXPECT_EQ(lines.hits[1].nLine, 2);
    EXPECT_EQ(lines.hits[2].nLine, 3);
    EXPECT_EQ(Find(work, "qqq").nTotal, 2u);
}

// The scan viewer reads no utm2dba name that begins with '/' (nor one with a ".." step): such a
// file's lines are found on no page, and the next file's lines start the viewer's first page.
TEST_F(FindTest, AFileTheScanViewerDoesNotReadTakesNoPlaceInItsPages) {
    const std::string work = MainPackage();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((work + "/audit_log_2016-09-01_2016-09-10Parent.db").c_str(), &db),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE utm2dba SET scan_file = '/v1_a.txt' WHERE id = 1", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_EQ(Build(work).status, IndexStatus::kBuilt);
    const std::string dir = "unix_vsms_log|v1|var/utm/data/sessions/";
    EXPECT_EQ(Describe(Find(work, "page-edge")),
              (std::vector<std::string>{dir + "v1_a.txt|25|-1|PAGE-EDGE-ONE",
                                        dir + "v1_a.txt|26|-1|PAGE-EDGE-TWO"}));
    const SessionSearchResult longLine = Find(work, "NEEDLE-IN-LONG");
    ASSERT_EQ(longLine.hits.size(), 1u);
    EXPECT_EQ(longLine.hits[0].nViewerLine, 0);
}

// A byte the code page does not decode is shown as "\xNN": any part of that, also one
// without the backslash, is found like other text of the line.
TEST_F(FindTest, PartsOfTheEscapeOfAnUndecodableByteFindItsLine) {
    const std::string work = MainPackage();
    ASSERT_EQ(Build(work).status, IndexStatus::kBuilt);
    const std::string bad =
        std::string("unix_sms_log|sms_20160901_s1|") + kS1 + "|5|-1|bad \\xFF\\xFE end";
    for (const char* query : {"xff", "FF", "F\\xFE", "Fe eNd", "xFE end"})
        EXPECT_EQ(Describe(Find(work, query)), std::vector<std::string>{bad}) << query;
}

TEST_F(FindTest, ABuildStopsPromptlyAndSearchesMeanwhileSayHowFarItIs) {
    const std::string work = MainPackage();
    // Enough text that the build is still running when it is stopped, also when the index
    // is quick and the test's own thread is slow to look (parallel runs).
    std::string big;
    for (int i = 0; i < 2000000; ++i) big += "line " + std::to_string(i) + " of a long scan\n";
    package_import::test::WriteFile(work + "/var/utm/data/sessions/a1.scan", big);

    CSessionIndexRunner runner;
    ASSERT_TRUE(runner.Queue("p", IndexInputsForWorkFolder(work)));
    // The file says "building" from its first commit on; wait for that (slow builds, such
    // as under a sanitizer, take a while to get there).
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ReadIndexState(work).status != IndexStatus::kBuilding &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    SessionSearchOptions quick;
    quick.nMaxHits = 1;
    quick.bCountAll = false;
    SessionSearchResult during = SearchSessions({work}, "line 1", quick);
    ASSERT_EQ(during.packages.size(), 1u);
    ASSERT_EQ(during.packages[0].status, IndexStatus::kBuilding);
    EXPECT_FALSE(during.bComplete);
    EXPECT_EQ(runner.State("p").status, IndexStatus::kBuilding);

    auto start = std::chrono::steady_clock::now();
    runner.Stop("p");
    runner.WaitIdle();
    // Well within this under a sanitizer on a loaded machine; far less normally.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(runner.State("p").status, IndexStatus::kStopped);
    EXPECT_LT(runner.State("p").nPercent, 100);
    EXPECT_EQ(ReadIndexState(work).status, IndexStatus::kStopped);
    EXPECT_FALSE(SearchSessions({work}, "line 1", quick).bComplete);
}

TEST_F(FindTest, OnlyTablesOfChildDbAreReadWhateverTheirNames) {
    const std::string work = MainPackage();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((work + "/audit_log_2016-09-01_2016-09-10child.db").c_str(), &db),
              SQLITE_OK);
    for (const char* sql :
         {"CREATE TABLE \"we\"\"ird\" (flag INTEGER, data TEXT)",
          "INSERT INTO \"we\"\"ird\" VALUES (1, 'WEIRD-TABLE-TEXT'), (1000, 'SIZE-TEXT')",
          "CREATE VIEW planted AS SELECT 'VIEW-TEXT' AS data"})
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
    ASSERT_EQ(Build(work).status, IndexStatus::kBuilt);
    EXPECT_EQ(Describe(Find(work, "weird-table")),
              (std::vector<std::string>{"|we\"ird|we\"ird|1|-1|WEIRD-TABLE-TEXT"}));
    EXPECT_EQ(Find(work, "SIZE-TEXT").nTotal, 0u);
    EXPECT_EQ(Find(work, "VIEW-TEXT").nTotal, 0u);
}

TEST_F(FindTest, QueriesOfOneOrTwoCharactersFindTheLastCharactersOfABlock) {
    const std::string work = MainPackage();
    ASSERT_EQ(Build(work).status, IndexStatus::kBuilt);
    // The end of a file without a line end, and the end of a block of terminal rows.
    EXPECT_EQ(Describe(Find(work, "/X")),
              (std::vector<std::string>{"unix_sms_log|sms_20160901_s2|"
                                        "var/utm/data/sessions/12_30_00|1|-1|rm -rf /tmp/x"}));
    EXPECT_EQ(Describe(Find(work, "志")),
              (std::vector<std::string>{
                  "unix_sms_log|sms_20160901_s1|sms_20160901_s1|3|-1|管理员\t审计 日志"}));
    EXPECT_EQ(Find(work, "Z").nTotal, 1u);  // the one long line of z's
    EXPECT_EQ(Find(work, "~").nTotal, 0u);
}

TEST_F(FindTest, SearchesCanBeLimitedToViews) {
    const std::string work = MainPackage();
    ASSERT_EQ(Build(work).status, IndexStatus::kBuilt);
    SessionSearchOptions sms;
    sms.views = {"unix_sms_log"};
    SessionSearchResult payroll = SearchSessions({work}, "payroll", sms);
    EXPECT_EQ(payroll.nTotal, 1u);
    ASSERT_EQ(payroll.hits.size(), 1u);
    EXPECT_EQ(payroll.hits[0].strSource, kS1);
    // Text of no listed session is in no view.
    SessionSearchOptions graphic;
    graphic.views = {"unix_vsms_log", "unix_xapp_log"};
    EXPECT_EQ(SearchSessions({work}, "scan text", graphic).nTotal, 0u);
    EXPECT_EQ(SearchSessions({work}, "scan text").nTotal, 1u);
}

TEST_F(FindTest, TextReadBackFromChangedFilesOrAnOldIndexIsNotTrusted) {
    const std::string work = MainPackage();
    ASSERT_EQ(Build(work).status, IndexStatus::kBuilt);
    // A file cut short after indexing: its lines are no longer found, the rest still is.
    package_import::test::WriteFile(work + "/" + kS1, "ls\n");
    EXPECT_EQ(Describe(Find(work, "payroll")),
              (std::vector<std::string>{
                  "unix_xfer_log|xfer_1|var/utm/data/sessions/x1|1|-1|put payroll.xls",
                  "unix_xapp_log|a1|utm_xapp_scan|1|-1|a1\t2016-09-01 10:00:01\tPayroll export"}));
    // An index of another layout counts as none.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(IndexPathForWorkFolder(work).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 1", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(ReadIndexState(work).status, IndexStatus::kMissing);
    SessionSearchResult old = Find(work, "payroll");
    EXPECT_FALSE(old.bComplete);
    EXPECT_EQ(old.nTotal, 0u);
}

// The search checks candidates against the index's own copy of the text, so a damaged copy
// must say the index cannot be read rather than quietly find less; the package's files are
// not read in its place.
TEST_F(FindTest, ADamagedCopyOfTheTextIsAReadFailureNotFewerHits) {
    const std::string work = MainPackage();
    ASSERT_EQ(Build(work).status, IndexStatus::kBuilt);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(IndexPathForWorkFolder(work).c_str(), &db), SQLITE_OK);
    // a1.scan is longer than an entry holds: its first and last lines lie in different entries.
    auto entryOfA1 = [&](const char* order) {
        sqlite3_stmt* st = nullptr;
        const std::string sql =
            "SELECT entry FROM blocks WHERE source = (SELECT id FROM sources WHERE name = "
            "CAST('var/utm/data/sessions/a1.scan' AS BLOB)) ORDER BY id " +
            std::string(order) + " LIMIT 1";
        sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
        const std::int64_t entry =
            sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
        sqlite3_finalize(st);
        return entry;
    };
    const std::int64_t last = entryOfA1("DESC");
    ASSERT_GT(last, 0);
    ASSERT_NE(entryOfA1("ASC"), last);
    const std::string damage =
        "UPDATE texts SET data = substr(data, 1, length(data) - 1) WHERE entry = " +
        std::to_string(last);
    ASSERT_EQ(sqlite3_exec(db, damage.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_changes(db), 1);
    sqlite3_close(db);
    const SessionSearchResult damaged = Find(work, "repeat-me 1499");
    EXPECT_FALSE(damaged.bComplete);
    ASSERT_EQ(damaged.packages.size(), 1u);
    EXPECT_TRUE(damaged.packages[0].bReadFailed);
    EXPECT_FALSE(damaged.packages[0].strMessage.empty());
    // Entries the query does not reach still answer.
    const SessionSearchResult first = Find(work, "repeat-me 0");
    EXPECT_TRUE(first.bComplete);
    EXPECT_EQ(first.nTotal, 1u);
}

// The window lists a common word's first page before every hit is counted: the page comes
// first with the hits the full count ends with, and a search with fewer hits than a page
// comes once, complete.
TEST_F(FindTest, ARunnerGivesTheFirstPageBeforeCountingTheRest) {
    const std::string work = MainPackage();
    ASSERT_EQ(Build(work).status, IndexStatus::kBuilt);
    std::mutex mutex;
    std::vector<std::pair<bool, SessionSearchResult>> delivered;  // (page?, result)
    auto record = [&](bool page) {
        return [&, page](std::uint64_t, SessionSearchResult result) {
            std::lock_guard<std::mutex> lock(mutex);
            delivered.emplace_back(page, std::move(result));
        };
    };
    SessionSearchOptions options;
    options.nMaxHits = 10;
    CSessionSearchRunner runner;
    runner.Start({work}, "repeat-me", options, record(false), record(true));
    for (int i = 0; i < 1000; ++i) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (delivered.size() == 2) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    runner.Stop();
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_TRUE(delivered[0].first);
    EXPECT_FALSE(delivered[1].first);
    EXPECT_EQ(delivered[0].second.hits.size(), 10u);
    EXPECT_LT(delivered[0].second.nTotal, 1500u);
    EXPECT_EQ(delivered[1].second.nTotal, 1500u);
    EXPECT_EQ(Describe(delivered[0].second), Describe(delivered[1].second));

    delivered.clear();
    runner.Start({work}, "payroll", options, record(false), record(true));
    for (int i = 0; i < 1000; ++i) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!delivered.empty()) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    runner.Stop();
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_FALSE(delivered[0].first);
    EXPECT_EQ(delivered[0].second.nTotal, 3u);
}

TEST_F(FindTest, AnUnwritableIndexFailsAndSaysWhy) {
    SessionIndexInputs inputs = IndexInputsForWorkFolder(m_tmp / "no such package");
    SessionIndexControl control;
    SessionIndexOutcome outcome = BuildSessionIndex(inputs, control);
    EXPECT_EQ(outcome.status, IndexStatus::kFailed);
    EXPECT_FALSE(outcome.strError.empty());

    CSessionIndexRunner runner;
    ASSERT_TRUE(runner.Queue("p", inputs));
    runner.WaitIdle();
    EXPECT_EQ(runner.State("p").status, IndexStatus::kFailed);
    EXPECT_FALSE(runner.State("p").strError.empty());
    EXPECT_EQ(IndexTickerStringId(runner.State("p")), kStrIndexFailed);
}

}  // namespace

// An entry of the index gathers the blocks of many small sessions: a search must find exactly
// what reading every line of every session finds, whatever text lies next to a line in its
// entry (GBK characters whose second byte is a backslash or a letter, undecodable bytes,
// letters of both cases, texts that only the join of two sessions would form).
TEST_F(FindTest, EntriesOfManySessionsFindExactlyWhatEveryLineHolds) {
    const std::string stage = m_tmp / "many";
    const std::string dump = stage + "/var/tmp/backup_log/data_2016-09-01_2016-09-10/";
    const std::vector<std::string> pieces = {
        "\x81\x5C"
        "abc",
        "ABC\xFF",
        "xyz",
        "Xy",
        "\xFE",
        session_index::test::Gbk("审计"),
        "cat /etc/hosts",
        "cat /etc/passwd",
        "vi /etc/hosts",
        "zab ",
        "c\\x",
        "\\xFF"};
    std::map<std::string, std::vector<std::string>> lines;  // session key: its lines' bytes
    std::string rows;
    std::mt19937 rng(7);
    for (int s = 0; s < 80; ++s) {
        const std::string key = "k" + std::to_string(s);
        std::vector<std::string>& mine = lines[key];
        for (int l = 0, count = 1 + int(rng() % 5); l < count; ++l) {
            std::string line;
            for (int p = 0, n = 1 + int(rng() % 4); p < n; ++p)
                line += pieces[rng() % pieces.size()] + (rng() % 2 ? " " : "");
            mine.push_back(line);
        }
        char start[32];
        std::snprintf(start, sizeof start, "2016-09-02 10:%02d:%02d", s / 60, s % 60);
        rows +=
            CharRow(std::to_string(s + 1), start, key, "/var/utm/data/sessions/" + key + ".txt");
        package_import::test::WriteFile(stage + "/var/utm/data/sessions/" + key,
                                        session_index::test::Lines(mine));
    }
    package_import::test::WriteFile(dump + "unix_sms_log.bak", rows);
    package_import::test::WriteFile(dump + "sub_table_sms.sql", session_index::test::TerminalTable(
                                                                    "k0", {"(1,1,'root','ls')"}));
    const std::string work = Import(stage, "audit_log_2016-09-01_2016-09-10");
    ASSERT_EQ(Build(work).status, IndexStatus::kBuilt);
    // A plain database file once built (header bytes 18 and 19: 1, not WAL's 2), so that
    // read-only readers need no WAL files.
    std::ifstream index(IndexPathForWorkFolder(work), std::ios::binary);
    char header[20] = {};
    index.read(header, sizeof header);
    EXPECT_EQ(header[18], 1);
    EXPECT_EQ(header[19], 1);

    platform::CAnsiDecoder decoder;
    for (const char* query :
         {"abc", "ABC", "xyz", "zab", "yzab", "cat /etc/hosts", "审计", "\\x81\\", "\\xFF", "c\\x",
          "Xy", "z a", "hosts\nvi", "/etc/", "FE \\"}) {
        std::multiset<std::string> expected, found;
        for (const auto& [key, mine] : lines) {
            for (std::size_t i = 0; i < mine.size(); ++i) {
                if (FindIgnoringAsciiCase(decoder.ToUtf8(mine[i]), query) != std::string::npos)
                    expected.insert(key + ":" + std::to_string(i + 1));
            }
        }
        const SessionSearchResult result = Find(work, query);
        for (const SessionHit& hit : result.hits)
            found.insert(hit.strSession + ":" + std::to_string(hit.nLine));
        EXPECT_EQ(found, expected) << query;
        EXPECT_EQ(result.nTotal, expected.size()) << query;
    }
}

}  // namespace session_index
