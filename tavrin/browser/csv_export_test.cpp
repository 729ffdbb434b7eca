// The CSV export on real Parent.db files made with the table script: file format, the whole
// view beyond one page, filters in both halves of the joined view, and what a failed or
// cancelled export leaves behind.
#include "tavrin/browser/csv_export.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/codepage.h"
#include "tavrin/browser/query_builder.h"
#include "tavrin/testing/browser_test_support.h"

namespace {

namespace fs = std::filesystem;
using browser::CsvField;
using browser::CsvLine;
using browser::ExportStatus;
using browser::test::Exec;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

const std::vector<std::string> kHeaders = {"No.",           "Start time", "End time",
                                           "Login address", "Login name", "Remote address",
                                           "Remote name",   "Lines"};

TEST(CsvField, QuotesOnlyWhereNeededAndDoublesQuotes) {
    EXPECT_EQ(CsvField("张三 plain"), "张三 plain");
    EXPECT_EQ(CsvLine({"a,b", "say \"hi\"", "two\nlines", "cr\r", ""}),
              "\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\r\",\r\n");
}

class CsvExport : public testing::Test {
  protected:
    void SetUp() override {
        m_pkg = m_tmp.Path() / "pkg";
        fs::create_directories(m_pkg / "var/utm/data/sessions");
        m_db = browser::test::CreateParentDb((m_pkg / "Parent.db").string());
        ASSERT_NE(m_db, nullptr);
    }
    void TearDown() override { sqlite3_close(m_db); }

    void AddCharRows(int count, const std::string& name = "user") {
        Exec(m_db, "begin");
        for (int i = 0; i < count; ++i) {
            std::string id = std::to_string(m_nNext++);
            ASSERT_TRUE(Exec(
                m_db, "insert into unix_sms_log values(" + id +
                          ", 'd', '10.1.1.1', 'ssh', '2013-05-07 08:00:" + (i < 10 ? "0" : "") +
                          std::to_string(i % 60) + "', '10.0.0.1', '" + name + "', 'root', 'key" +
                          id + "', '/var/utm/data/sessions/t" + id +
                          ".txt', '/x.dat', 'ok', '2013-05-07 09:00:00')"));
        }
        Exec(m_db, "commit");
    }

    browser::ExportRequest Request(const std::string& query,
                                   browser::ExportRowKind kind = browser::ExportRowKind::kChar) {
        browser::ExportRequest r;
        r.strDbPath = (m_pkg / "Parent.db").string();
        r.strQuery = query;
        r.eKind = kind;
        r.strPackageFolder = m_pkg.string();
        r.headers = kHeaders;
        r.strOutPath = m_out.string();
        return r;
    }

    browser::test::TempFolder m_tmp;
    fs::path m_pkg;
    fs::path m_out = m_tmp.Path() / "out.csv";
    sqlite3* m_db = nullptr;
    int m_nNext = 0;
};

TEST_F(CsvExport, WritesBomHeadersAndEveryRowOfTheViewAsTheListShowsThem) {
    AddCharRows(40);
    // A name with a comma and a quote, GBK text as packages hold it, and a text record of three
    // lines for the line-count column.
    ASSERT_TRUE(Exec(m_db,
                     "insert into unix_sms_log values(99, 'd', '10.1.1.9', 'ssh', "
                     "'2013-05-08 10:11:12', '10.0.0.9', 'a,\"b\"', '\xD5\xC5\xC8\xFD', 'k99', "
                     "'/var/utm/data/sessions/12:30:00.txt', '', 'ok', '2013-05-08 11:00:00')"));
    browser::test::WriteFile(m_pkg / "var/utm/data/sessions/12_30_00", "l1\nl2\nl3\n");

    auto result = browser::ExportView(Request(browser::TableCountQuery("unix_sms_log", "")));
    ASSERT_EQ(result.eStatus, ExportStatus::kDone) << result.strError;
    EXPECT_EQ(result.nRows, 41);

    const std::string text = ReadAll(m_out);
    ASSERT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    auto lines = Lines(text.substr(3));
    ASSERT_EQ(lines.size(), 42u);
    EXPECT_EQ(lines[0],
              "No.,Start time,End time,Login address,Login name,Remote address,"
              "Remote name,Lines");
    // Rows are numbered across the whole view, past the first page; times as stored.
    EXPECT_EQ(lines[1], "0,2013-05-07 08:00:00,2013-05-07 09:00:00,10.0.0.1,user,10.1.1.1,root,0");
    EXPECT_EQ(lines[40].substr(0, 3), "39,");
    EXPECT_EQ(lines[41],
              "40,2013-05-08 10:11:12,2013-05-08 11:00:00,10.0.0.9,\"a,\"\"b\"\"\","
              "10.1.1.9,张三,3");
    EXPECT_FALSE(fs::exists(m_out.string() + ".part"));
}

TEST_F(CsvExport, TheJoinedViewExportsBothHalvesEachFiltered) {
    auto addGraphic = [&](const char* table, int id, const char* session, const char* login) {
        ASSERT_TRUE(Exec(m_db, std::string("insert into ") + table + " values(" +
                                   std::to_string(id) +
                                   ", 1, 'd', '2013-05-07 08:00:00', "
                                   "'10.0.0.1', '" +
                                   login + "', '10.2.2.2', 'admin', '" + session +
                                   "', 800, 600, 'rdp', 'ok', '2013-05-07 09:00:00')"));
        ASSERT_TRUE(Exec(m_db, "insert into vsms_xapp_tab values(" + std::to_string(id) +
                                   ", 5, '2013-05-07', '08:30:00', '10.6.6.6', 'guest', '" +
                                   session + "', 'app', 'path', 'ok')"));
    };
    addGraphic("unix_vsms_log", 1, "v1", "alice");
    addGraphic("unix_vsms_log", 2, "v2", "bob");
    addGraphic("unix_xapp_log", 3, "x1", "alice");
    addGraphic("unix_xapp_log", 4, "x2", "carol");
    // The recording of v1 exists: its size shows as in the list.
    browser::test::WriteFile(m_pkg / "var/utm/data/sessions/v1.rec", std::string(1048576, 'r'));

    const std::string query = browser::JoinedAllRowsQuery("");
    EXPECT_EQ(query + " limit 0, 15", browser::JoinedSearchPageQuery(""));
    auto all = browser::ExportView(Request(query, browser::ExportRowKind::kJoined));
    ASSERT_EQ(all.eStatus, ExportStatus::kDone) << all.strError;
    EXPECT_EQ(all.nRows, 4);
    auto lines = Lines(ReadAll(m_out).substr(3));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1],
              "0,2013-05-07 08:30:00,2013-05-07 09:00:00,10.0.0.1,alice,10.6.6.6,guest,"
              "1.000M");
    EXPECT_EQ(lines[2].substr(lines[2].size() - 2), ",-");

    browser::FilterValues values;
    values.strStart = u"2013-05-01 00:00:00";
    values.strEnd = u"2013-05-31 23:59:59";
    values.strLoginName = u"alice";
    const std::string filter =
        platform::Utf16ToAnsi(browser::BuildFilterClause(values, true).strClause);
    auto filtered = browser::ExportView(
        Request(browser::JoinedAllRowsQuery(filter), browser::ExportRowKind::kJoined));
    ASSERT_EQ(filtered.eStatus, ExportStatus::kDone) << filtered.strError;
    EXPECT_EQ(filtered.nRows, 2);  // v1 and x1: the filter holds in both halves
}

TEST_F(CsvExport, FailureOrCancelLeavesAnExistingFileAsItWasAndNoPartialFile) {
    AddCharRows(2500);
    browser::test::WriteFile(m_out, "earlier export");

    auto missing = browser::ExportView(Request("select * from no_such_table"));
    EXPECT_EQ(missing.eStatus, ExportStatus::kQueryFailed);
    EXPECT_NE(missing.strError.find("no_such_table"), std::string::npos);
    EXPECT_EQ(ReadAll(m_out), "earlier export");

    std::vector<long long> calls;
    auto cancelled = browser::ExportView(Request(browser::TableCountQuery("unix_sms_log", "")),
                                         [&](long long rows) {
                                             calls.push_back(rows);
                                             return rows < 2000;
                                         });
    EXPECT_EQ(cancelled.eStatus, ExportStatus::kCancelled);
    EXPECT_EQ(calls, (std::vector<long long>{1000, 2000}));
    EXPECT_EQ(ReadAll(m_out), "earlier export");
    EXPECT_FALSE(fs::exists(m_out.string() + ".part"));

    auto request = Request(browser::TableCountQuery("unix_sms_log", ""));
    request.strOutPath = (m_tmp.Path() / "no/such/folder/out.csv").string();
    auto unwritable = browser::ExportView(request);
    EXPECT_EQ(unwritable.eStatus, ExportStatus::kWriteFailed);
    EXPECT_FALSE(unwritable.strError.empty());

    // The same export to the existing file replaces it whole, reporting the end once.
    calls.clear();
    auto done = browser::ExportView(Request(browser::TableCountQuery("unix_sms_log", "")),
                                    [&](long long rows) {
                                        calls.push_back(rows);
                                        return true;
                                    });
    EXPECT_EQ(done.eStatus, ExportStatus::kDone);
    EXPECT_EQ(calls.back(), 2500);
    EXPECT_EQ(Lines(ReadAll(m_out).substr(3)).size(), 2501u);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TAVRIN_UNDER_SANITIZER 1
#endif

// Resident memory of this process in kB, from the kernel's status file.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

TEST_F(CsvExport, AMillionRowsExportWithConstantMemory) {
#ifdef TAVRIN_UNDER_SANITIZER
    GTEST_SKIP() << "the sanitizers' own bookkeeping makes resident memory meaningless";
#endif
    ASSERT_TRUE(Exec(m_db,
                     "with recursive n(i) as (select 0 union all select i + 1 from n where i < "
                     "999999) insert into unix_sms_log select i, 'd', '10.1.1.1', 'ssh', "
                     "'2013-05-07 08:00:00', '10.0.0.1', 'user' || i, 'root', 'k' || i, "
                     "'/var/utm/data/sessions/t' || i || '.txt', '', 'ok', "
                     "'2013-05-07 09:00:00' from n"));
    const long before = ResidentKb();
    long peak = before;
    auto result =
        browser::ExportView(Request(browser::TableCountQuery("unix_sms_log", "")), [&](long long) {
            peak = std::max(peak, ResidentKb());
            return true;
        });
    ASSERT_EQ(result.eStatus, ExportStatus::kDone) << result.strError;
    EXPECT_EQ(result.nRows, 1000000);
    EXPECT_GT(fs::file_size(m_out), 70u * 1000000);  // the rows are in the file, not in memory
    EXPECT_LT(peak - before, 32 * 1024) << "resident memory grew with the rows";
}

}  // namespace
