// tavrin-query run as a real program on a package imported by tavrin-import, and every name
// filter of the browser model and of tavrin-query checked against an independent reference
// (the stored texts decoded with iconv and searched as Unicode) over the sample generator's
// words.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/process_output.h"
#include "tavrin/browser/browser_model.h"
#include "tavrin/browser/csv_export.h"
#include "tavrin/find/session_search.h"
#include "tavrin/testing/browser_test_support.h"
#include "tavrin/testing/filter_reference.h"
#include "tavrin/testing/find_reference.h"
#include "tavrin/testing/import_test_util.h"

namespace {

namespace fs = std::filesystem;
using browser::AuditView;

const std::string kProgramDir = TAVRIN_TEST_PROGRAM_DIR;

struct CommandRun {
    int nStatus = -1;
    std::string strOut;  // standard output and error together
};

CommandRun Query(std::vector<std::string> args) {
    args.insert(args.begin(), "tavrin-query");
    const platform::CapturedOutput out =
        platform::RunAndCaptureOutput(kProgramDir + "/tavrin-query", args, 64 << 20, 60000);
    return CommandRun{out.started ? out.exitStatus : -1, out.text};
}

QJsonObject Json(const CommandRun& run) {
    QJsonParseError error;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString(run.strOut), &error);
    EXPECT_EQ(QJsonParseError::NoError, error.error) << run.strOut.substr(0, 500);
    return doc.object();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// ---------------------------------------------------------------------------------------------
// The reference: which stored values contain a typed filter, decided on decoded text.

// A name filter matches the values containing it, with '%' any run of characters and '_'
// one character.
bool ReferenceContains(const std::u16string& stored, const std::u16string& typed) {
    return browser::test::LikeMatches(u"%" + browser::test::FoldAscii(typed) + u"%",
                                      browser::test::FoldAscii(stored));
}

// The rows of a view as (row key, login name, remote name), read without LIKE.
struct StoredRow {
    std::u16string key, loginName, remoteName;
};

std::string ReferenceSql(AuditView view) {
    const char* joinedHalf =
        "SELECT c.session_name, a.login_name, c.remote_name FROM %s AS a "
        "JOIN vsms_xapp_tab AS c ON a.session_name = c.session_name";
    switch (view) {
        case AuditView::SmsLog:
        case AuditView::XferLog:
            return "SELECT session_key, login_name, remote_name FROM " + browser::ViewTable(view);
        case AuditView::XappLog:
        case AuditView::VsmsLog:
            return "SELECT session_name, login_name, remote_name FROM " + browser::ViewTable(view);
        case AuditView::Joined:
            break;
    }
    char sql[512];
    std::string both;
    std::snprintf(sql, sizeof sql, joinedHalf, "unix_vsms_log");
    both = sql;
    std::snprintf(sql, sizeof sql, joinedHalf, "unix_xapp_log");
    return both + " UNION ALL " + sql;
}

std::vector<StoredRow> StoredRows(const std::string& dbPath, AuditView view) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::vector<StoredRow> rows;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, ReferenceSql(view).c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
        auto text = [&](int col) {
            const unsigned char* t = sqlite3_column_text(stmt, col);
            return platform::AnsiToUtf16(t ? reinterpret_cast<const char*>(t) : "");
        };
        while (sqlite3_step(stmt) == SQLITE_ROW) rows.push_back({text(0), text(1), text(2)});
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

using KeySet = std::multiset<std::u16string>;

KeySet ReferenceMatches(const std::vector<StoredRow>& rows, bool bLoginName,
                        const std::u16string& typed) {
    KeySet keys;
    for (const StoredRow& row : rows) {
        if (ReferenceContains(bLoginName ? row.loginName : row.remoteName, typed))
            keys.insert(row.key);
    }
    return keys;
}

// The generator's words (Chinese, then the Latin names it adds), one per line.
std::vector<std::u16string> GeneratorWords() {
    const std::string script =
        "import sys; sys.path.insert(0, sys.argv[1]); import make_sample_package as m; "
        "words = list(m.WORDS); "
        "words += [w for w in m.PEOPLE + m.ACCOUNTS if w not in words]; "
        "print('\\n'.join(words))";
    const platform::CapturedOutput out = platform::RunAndCaptureOutput(
        "/usr/bin/python3",
        {"python3", "-c", script, std::string(TAVRIN_TEST_SOURCE_DIR) + "/scripts"}, 1 << 20,
        60000);
    EXPECT_EQ(0, out.exitStatus) << out.text;
    std::vector<std::u16string> words;
    std::istringstream lines(out.text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty()) words.push_back(platform::Utf8ToUtf16(line));
    }
    return words;
}

// What an auditor types: every word, every character of the Chinese words, Latin words in
// other cases, and wildcards.
std::vector<std::u16string> TypedFilters(const std::vector<std::u16string>& words) {
    std::set<std::u16string> typed(words.begin(), words.end());
    for (const std::u16string& word : words) {
        if (word[0] >= 0x80) {
            for (char16_t c : word) typed.insert(std::u16string(1, c));
        } else {
            std::u16string upper = word;
            for (char16_t& c : upper) c = (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
            typed.insert(upper);
        }
    }
    for (const char16_t* w :
         {u"王_", u"_五", u"管%员", u"%", u"__", u"___", u"o_a", u"R%T", u"三李"})
        typed.insert(w);
    return std::vector<std::u16string>(typed.begin(), typed.end());
}

using browser::test::kViews;
using browser::test::ViewName;

// A work folder named as package name's beneath root, with a new Parent.db of the audit
// tables in it (null when it cannot be made); work receives the folder.
sqlite3* CreatePackageParentDb(const std::string& root, const std::string& name,
                               std::string& work) {
    work = root + "/" + name;
    fs::create_directories(work);
    return browser::test::CreateParentDb(work + "/" + name + "Parent.db");
}

std::string Utf8(const std::u16string& text) {
    return platform::Utf16ToUtf8(text);
}

// Every typed filter, as login and as remote name, in every view, through the model.
void CheckModelAgainstReference(const std::string& workFolder, const std::string& name,
                                const std::vector<std::u16string>& typed) {
    const std::string dbPath = workFolder + "/" + name + "Parent.db";
    DbHandle handle;
    ASSERT_EQ(0, OpenDbHandle(handle, dbPath));
    browser::CBrowserModel model;
    model.Open({name, workFolder, &handle, true, false, nullptr});
    long long nTrue = 0;
    for (AuditView view : kViews) {
        const std::vector<StoredRow> stored = StoredRows(dbPath, view);
        ASSERT_FALSE(stored.empty()) << ViewName(view);
        for (bool bLogin : {true, false}) {
            for (const std::u16string& t : typed) {
                browser::FilterValues values;
                values.strStart = u"2016-09-01 00:00:00";
                values.strEnd = u"2016-09-30 23:59:59";
                (bLogin ? values.strLoginName : values.strRemoteName) = t;
                const browser::BrowserUpdate u = model.ChangeView(view, values);
                const KeySet expected = ReferenceMatches(stored, bLogin, t);
                KeySet listed;
                model.ForEachRow([&](long long, const browser::BrowserRow& row) {
                    listed.insert(browser::LayoutOfView(view) == browser::ListLayout::kChar
                                      ? row.charRecord.strKey.toStdU16String()
                                      : row.graphicRecord.strName.toStdU16String());
                    return true;
                });
                EXPECT_EQ(expected, listed)
                    << ViewName(view) << (bLogin ? " login " : " remote ") << Utf8(t);
                EXPECT_EQ(static_cast<int>(expected.size()), u.screen.page.nTotalRows);
                nTrue += static_cast<long long>(expected.size());
            }
        }
    }
    EXPECT_GT(nTrue, 0);
}

// The same through tavrin-query, on two threads (each run is a process of its own).
void CheckProgramAgainstReference(const std::string& workFolder, const std::string& name,
                                  const std::vector<std::u16string>& typed,
                                  const std::vector<AuditView>& views) {
    const std::string dbPath = workFolder + "/" + name + "Parent.db";
    struct Job {
        AuditView view;
        bool bLogin;
        std::u16string typed;
    };
    std::vector<Job> jobs;
    std::map<AuditView, std::vector<StoredRow>> stored;
    for (AuditView view : views) {
        stored[view] = StoredRows(dbPath, view);
        for (bool bLogin : {true, false})
            for (const std::u16string& t : typed) jobs.push_back({view, bLogin, t});
    }
    std::atomic<size_t> next{0};
    std::mutex failuresLock;
    std::vector<std::string> failures;
    auto worker = [&] {
        for (size_t i; (i = next++) < jobs.size();) {
            const Job& job = jobs[i];
            const CommandRun run =
                Query({workFolder, "--view", ViewName(job.view), "--all", "--json", "--from",
                       "2016-09-01 00:00:00", "--to", "2016-09-30 23:59:59",
                       job.bLogin ? "--login-name" : "--remote-name", Utf8(job.typed)});
            KeySet listed;
            QJsonParseError error;
            const QJsonObject doc =
                QJsonDocument::fromJson(QByteArray::fromStdString(run.strOut), &error).object();
            const char* keyName = browser::LayoutOfView(job.view) == browser::ListLayout::kChar
                                      ? "session_key"
                                      : "recording";
            for (const QJsonValue& row : doc.value("rows").toArray())
                listed.insert(row.toObject().value(keyName).toString().toStdU16String());
            const KeySet expected = ReferenceMatches(stored[job.view], job.bLogin, job.typed);
            if (run.nStatus != 0 || error.error != QJsonParseError::NoError || listed != expected ||
                doc.value("total").toInt() != int(expected.size())) {
                std::lock_guard<std::mutex> lock(failuresLock);
                failures.push_back(
                    std::string(ViewName(job.view)) + (job.bLogin ? " login " : " remote ") +
                    Utf8(job.typed) + ": listed " + std::to_string(listed.size()) + ", expected " +
                    std::to_string(expected.size()) + " " + run.strOut.substr(0, 200));
            }
        }
    };
    std::thread other(worker);
    worker();
    other.join();
    EXPECT_TRUE(failures.empty()) << failures.size() << " of " << jobs.size()
                                  << ", first: " << (failures.empty() ? "" : failures.front());
}

// ---------------------------------------------------------------------------------------------
// A sample package imported by tavrin-import into the build's program folder, once.

class TavrinQuery : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_tmp = new package_import::test::CTempFolder();
        s_package = new package_import::test::SamplePackage(package_import::test::MakeSamplePackage(
            s_tmp->Str() + "/in",
            {"--prefix", package_import::test::UniqueName(), "--sessions", "60"}));
        s_work = kProgramDir + "/" + s_package->strName;
        const platform::CapturedOutput out = platform::RunAndCaptureOutput(
            kProgramDir + "/tavrin-import", {"tavrin-import", s_package->strTar}, 16 << 20, 300000);
        s_bImported = out.started && out.exitStatus == 0;
        if (!s_bImported) std::fprintf(stderr, "import failed: %s\n", out.text.c_str());
    }
    static void TearDownTestSuite() {
        if (s_package) fs::remove_all(s_work);
        delete s_package;
        delete s_tmp;
        s_package = nullptr;
        s_tmp = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_bImported); }
    static std::string ParentDb() { return s_work + "/" + s_package->strName + "Parent.db"; }

    static package_import::test::CTempFolder* s_tmp;
    static package_import::test::SamplePackage* s_package;
    static std::string s_work;
    static bool s_bImported;
};

package_import::test::CTempFolder* TavrinQuery::s_tmp = nullptr;
package_import::test::SamplePackage* TavrinQuery::s_package = nullptr;
std::string TavrinQuery::s_work;
bool TavrinQuery::s_bImported = false;

TEST_F(TavrinQuery, PagesAndCountsAsTheBrowserShowsThem) {
    const long long sms = s_package->parent.at("unix_sms_log");
    ASSERT_GT(sms, 30);
    CommandRun run = Query({s_work});
    ASSERT_EQ(0, run.nStatus) << run.strOut;
    std::vector<std::string> lines = Lines(run.strOut);
    ASSERT_EQ(16u, lines.size());
    EXPECT_EQ("row,login_time,end_time,login_addr,login_name,remote_addr,remote_name,lines",
              lines[0]);
    EXPECT_EQ(0u, lines[1].rfind("0,2016-09-", 0)) << lines[1];
    EXPECT_EQ(0u, lines[15].rfind("14,", 0));

    run = Query({s_work, "--count"});
    EXPECT_EQ(std::to_string(sms) + "\n", run.strOut);
    run = Query({s_work, "--count", "--json"});
    const QJsonObject count = Json(run);
    EXPECT_EQ(sms, count.value("total").toInteger());
    EXPECT_EQ(sms / 15 + 1, count.value("pages").toInteger());

    // The second page starts with the 16th row and numbers its rows from 0 as the list does.
    run = Query({s_work, "--page", "2", "--json"});
    ASSERT_EQ(0, run.nStatus) << run.strOut;
    const QJsonObject page = Json(run);
    EXPECT_EQ(2, page.value("page").toInt());
    const QJsonArray rows = page.value("rows").toArray();
    ASSERT_EQ(15, rows.size());
    EXPECT_EQ(0, rows[0].toObject().value("row").toInt());
    EXPECT_EQ("sms_20160901_s0000016", rows[0].toObject().value("session_key").toString());

    // The last page, possibly empty; one beyond it is an error of the command line.
    const std::string last = std::to_string(sms / 15 + 1);
    EXPECT_EQ(0, Query({s_work, "--page", last}).nStatus);
    run = Query({s_work, "--page", std::to_string(sms / 15 + 2)});
    EXPECT_EQ(2, run.nStatus);
    EXPECT_NE(std::string::npos, run.strOut.find("beyond the last page, " + last)) << run.strOut;

    // Graphical views show the recording's size, the joined view its application rows.
    run = Query({s_work, "--view", "vsms", "--json"});
    const QJsonObject vsms = Json(run);
    EXPECT_EQ(s_package->parent.at("unix_vsms_log"), vsms.value("total").toInteger());
    const QJsonObject first = vsms.value("rows").toArray()[0].toObject();
    EXPECT_TRUE(first.value("size").toString().endsWith("M")) << run.strOut.substr(0, 300);
    EXPECT_EQ("v0000001", first.value("recording").toString());
    run = Query({s_work, "--view", "joined", "--count"});
    EXPECT_EQ(std::to_string(s_package->parent.at("vsms_xapp_tab")) + "\n", run.strOut);
}

TEST_F(TavrinQuery, AllRowsAreWhatTheExportWrites) {
    for (const char* view : {"sms", "xapp", "joined"}) {
        const CommandRun run = Query({s_work, "--view", view, "--all", "--from",
                                      "2016-09-03 00:00:00", "--login-name", "o"});
        ASSERT_EQ(0, run.nStatus) << run.strOut;

        // The export of the same view and filter, as the window runs it.
        DbHandle handle;
        ASSERT_EQ(0, OpenDbHandle(handle, ParentDb()));
        browser::CBrowserModel model;
        model.Open({s_package->strName, s_work, &handle, true, false, nullptr});
        browser::FilterValues values;
        values.strStart = u"2016-09-03 00:00:00";
        values.strEnd = u"2016-09-10 23:59:59";
        values.strLoginName = u"o";
        const AuditView eView = std::string(view) == "sms"    ? AuditView::SmsLog
                                : std::string(view) == "xapp" ? AuditView::XappLog
                                                              : AuditView::Joined;
        const browser::BrowserUpdate u = model.ChangeView(eView, values);
        browser::ExportRequest request;
        request.strDbPath = ParentDb();
        request.strQuery = model.ExportQuery();
        request.eKind = eView == AuditView::SmsLog    ? browser::ExportRowKind::kChar
                        : eView == AuditView::XappLog ? browser::ExportRowKind::kGraphic
                                                      : browser::ExportRowKind::kJoined;
        request.strPackageFolder = s_work;
        request.headers = {"h"};
        request.strOutPath = s_tmp->Str() + "/export.csv";
        ASSERT_EQ(browser::ExportStatus::kDone, browser::ExportView(request).eStatus);
        const std::string exported = package_import::test::ReadFile(request.strOutPath);
        const std::string exportedRows = exported.substr(exported.find("\r\n") + 2);
        const std::string printedRows = run.strOut.substr(run.strOut.find("\r\n") + 2);
        EXPECT_EQ(exportedRows, printedRows) << view;
        EXPECT_EQ(static_cast<size_t>(u.screen.page.nTotalRows) + 1, Lines(run.strOut).size());
        EXPECT_GT(u.screen.page.nTotalRows, 0) << view;
    }
}

TEST_F(TavrinQuery, TimeRangeAndAddressesFilterAsTheWindowDoes) {
    const std::vector<StoredRow> all = StoredRows(ParentDb(), AuditView::SmsLog);
    CommandRun run =
        Query({s_work, "--count", "--from", "2016-09-05 00:00:00", "--to", "2016-09-06 23:59:59"});
    ASSERT_EQ(0, run.nStatus) << run.strOut;
    sqlite3* db = nullptr;
    sqlite3_open_v2(ParentDb().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    const std::vector<std::string> inRange = browser::test::Rows(
        db,
        "SELECT count(*) FROM unix_sms_log WHERE login_time >= '2016-09-05 00:00:00' AND "
        "end_time <= '2016-09-06 23:59:59'");
    const std::vector<std::string> someAddr =
        browser::test::Rows(db, "SELECT login_addr, count(*) FROM unix_sms_log GROUP BY 1 LIMIT 1");
    sqlite3_close(db);
    EXPECT_EQ(inRange.at(0) + "\n", run.strOut);

    const std::string addr = someAddr.at(0).substr(0, someAddr.at(0).find('|'));
    run = Query({s_work, "--count", "--login-addr", addr});
    EXPECT_EQ(someAddr.at(0).substr(addr.size() + 1) + "\n", run.strOut);

    run = Query({s_work, "--login-addr", "10.1.0.0"});
    EXPECT_EQ(2, run.nStatus);
    EXPECT_NE(std::string::npos, run.strOut.find("--login-addr takes an IPv4 address"));
    EXPECT_EQ(2, Query({s_work, "--view", "all"}).nStatus);
    EXPECT_EQ(2, Query({s_work, "--bogus"}).nStatus);
}

TEST_F(TavrinQuery, FailuresOfThePackageAreNotUsageErrors) {
    const std::string root = s_tmp->Path();
    CommandRun run = Query({root + "/nowhere_log_2016-09-01_2016-09-10"});
    EXPECT_EQ(1, run.nStatus);
    EXPECT_NE(std::string::npos, run.strOut.find("no such work folder")) << run.strOut;

    const std::string name = "x_log_2016-09-01_2016-09-10";
    const std::string work = root + "/" + name;
    fs::create_directories(work);
    run = Query({work});
    EXPECT_EQ(1, run.nStatus);
    EXPECT_NE(std::string::npos, run.strOut.find("no such database")) << run.strOut;

    package_import::test::WriteFile(work + "/" + name + "Parent.db", std::string(8192, 'z'));
    run = Query({work});
    EXPECT_EQ(1, run.nStatus);
    EXPECT_NE(std::string::npos, run.strOut.find("cannot be read")) << run.strOut;

    // A package without application records lists an empty joined view, as the window does;
    // nothing is written to the database read.
    fs::copy_file(ParentDb(), work + "/" + name + "Parent.db",
                  fs::copy_options::overwrite_existing);
    sqlite3* db = nullptr;
    sqlite3_open(std::string(work + "/" + name + "Parent.db").c_str(), &db);
    browser::test::Exec(db, "DROP TABLE vsms_xapp_tab");
    sqlite3_close(db);
    const std::string before = package_import::test::ReadFile(work + "/" + name + "Parent.db");
    run = Query({work, "--view", "joined", "--all", "--json"});
    EXPECT_EQ(0, run.nStatus) << run.strOut;
    EXPECT_EQ(0, Json(run).value("total").toInt());
    EXPECT_EQ(before, package_import::test::ReadFile(work + "/" + name + "Parent.db"));
    // Any other failing query is reported.
    sqlite3_open(std::string(work + "/" + name + "Parent.db").c_str(), &db);
    browser::test::Exec(db, "DROP TABLE unix_xfer_log");
    sqlite3_close(db);
    run = Query({work, "--view", "xfer"});
    EXPECT_EQ(1, run.nStatus);
    EXPECT_NE(std::string::npos, run.strOut.find("no such table")) << run.strOut;

    // The package name's dates stand in for a range not given; a name without them needs one.
    const std::string undated = root + "/undated";
    fs::create_directories(undated);
    fs::copy_file(ParentDb(), undated + "/undatedParent.db");
    EXPECT_EQ(0, Query({undated, "--count"}).nStatus);
    run = Query({undated, "--login-name", "root"});
    EXPECT_EQ(2, run.nStatus);
    EXPECT_NE(std::string::npos, run.strOut.find("give --from")) << run.strOut;
    EXPECT_EQ(0, Query({undated, "--login-name", "root", "--from", "2016-09-01 00:00:00", "--to",
                        "2016-09-10 23:59:59"})
                     .nStatus);
}

// Line n (from 1) of a file, its line end dropped, decoded.
std::string FileLine(const std::string& path, long long n) {
    std::istringstream in(package_import::test::ReadFile(path));
    std::string line;
    for (long long i = 0; i < n && std::getline(in, line); ++i) {
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return platform::AnsiToUtf8(line);
}

TEST_F(TavrinQuery, FindPrintsTheSearchsHitsEachLeadingToItsLine) {
    // tavrin-import built the index after the load.
    const session_index::SessionSearchResult library =
        session_index::SearchSessions({s_work}, "PassWD");
    ASSERT_TRUE(library.bComplete);
    ASSERT_GT(library.nTotal, 5u);
    CommandRun run = Query({s_work, "--find", "PassWD", "--json", "--limit", "1000"});
    ASSERT_EQ(0, run.nStatus) << run.strOut.substr(0, 300);
    const QJsonObject doc = Json(run);
    EXPECT_EQ(doc.value("total").toInteger(), static_cast<qint64>(library.nTotal));
    EXPECT_TRUE(doc.value("complete").toBool());
    EXPECT_EQ(doc.value("index").toObject().value("status").toString(), "built");
    const QJsonArray hits = doc.value("hits").toArray();
    ASSERT_EQ(hits.size(), static_cast<qsizetype>(library.hits.size()));
    QString previousTime = "9999";
    for (qsizetype i = 0; i < hits.size(); ++i) {
        const QJsonObject hit = hits[i].toObject();
        const std::string text = hit.value("text").toString().toStdString();
        // Newest session first; the match is where it says.
        EXPECT_LE(hit.value("login_time").toString(), previousTime);
        previousTime = hit.value("login_time").toString();
        EXPECT_EQ(text.substr(hit.value("match_offset").toInt(), 6), "passwd");
        EXPECT_EQ(hit.value("session").toString().toStdString(), library.hits[i].strSessionText);
        const std::string source = hit.value("source").toString().toStdString();
        if (hit.value("source_kind").toString() == "file") {
            // The line is the file's line (an independent read), and the lines of the scan
            // files named by utm2dba carry the scan viewer's page.
            EXPECT_EQ(FileLine(s_work + "/" + source, hit.value("line").toInteger()), text)
                << source;
            const bool graphic =
                hit.value("view").toString() == "vsms" || hit.value("view").toString() == "xapp";
            if (graphic && source.find(".scan") == std::string::npos) {
                EXPECT_GE(hit.value("page").toInt(), 1) << source;
            }
        } else {
            EXPECT_TRUE(hit.value("page").isNull());
        }
    }
    // The same hits as CSV, limited; a view's sessions only; only the count.
    run = Query({s_work, "--find", "passwd", "--limit", "3"});
    ASSERT_EQ(0, run.nStatus);
    std::vector<std::string> lines = Lines(run.strOut);
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(lines[0], "view,session,login_time,login_name,remote_name,source,line,page,text");
    run = Query({s_work, "--find", "passwd", "--view", "xfer", "--json"});
    session_index::SessionSearchOptions xfer;
    xfer.views = {"unix_xfer_log"};
    EXPECT_EQ(Json(run).value("total").toInteger(),
              static_cast<qint64>(session_index::SearchSessions({s_work}, "passwd", xfer).nTotal));
    for (const QJsonValue& hit : Json(run).value("hits").toArray())
        EXPECT_EQ(hit.toObject().value("view").toString(), "xfer");
    EXPECT_EQ(Query({s_work, "--find", "passwd", "--count"}).strOut,
              std::to_string(library.nTotal) + "\n");
    // No hit is told apart from hits and from errors.
    run = Query({s_work, "--find", "no such text anywhere"});
    EXPECT_EQ(3, run.nStatus);
    EXPECT_EQ(1u, Lines(run.strOut).size());
    // Options --find does not take, or a limit without it, are errors of the command line.
    EXPECT_EQ(2, Query({s_work, "--find", "passwd", "--login-name", "root"}).nStatus);
    EXPECT_EQ(2, Query({s_work, "--find", "passwd", "--page", "2"}).nStatus);
    EXPECT_EQ(2, Query({s_work, "--limit", "3"}).nStatus);
    EXPECT_EQ(2, Query({s_work, "--find", "passwd", "--limit", "0"}).nStatus);
    EXPECT_EQ(2, Query({s_work, "--find", ""}).nStatus);
}

TEST_F(TavrinQuery, FindSaysWhenTheIndexIsIncompleteOrBroken) {
    // A copy of the work folder whose index is then changed.
    const std::string work = s_tmp->Str() + "/copy/" + s_package->strName;
    fs::create_directories(work);
    fs::copy(s_work, work, fs::copy_options::recursive);
    const std::string index = work + "/" + s_package->strName + "index.db";
    auto setState = [&](const char* sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(index.c_str(), &db));
        browser::test::Exec(db, sql);
        sqlite3_close(db);
    };
    // Still being built: the hits found so far, and how far it is.
    setState("UPDATE build_state SET status = 'building', done = 10, total = 40");
    CommandRun run = Query({work, "--find", "passwd", "--limit", "2"});
    EXPECT_EQ(4, run.nStatus);
    EXPECT_NE(std::string::npos, run.strOut.find("still being built (10 of 40, 25%)"))
        << run.strOut;
    EXPECT_NE(std::string::npos, run.strOut.find("passwd"));
    run = Query({work, "--find", "no such text anywhere", "--json"});
    EXPECT_EQ(4, run.nStatus);
    setState("UPDATE build_state SET status = 'stopped'");
    EXPECT_EQ(4, Query({work, "--find", "passwd"}).nStatus);
    // A build that failed, an index that cannot be read, none at all.
    setState("UPDATE build_state SET status = 'failed', message = 'disk full'");
    run = Query({work, "--find", "passwd"});
    EXPECT_EQ(1, run.nStatus);
    EXPECT_NE(std::string::npos, run.strOut.find("could not be built: disk full")) << run.strOut;
    setState("UPDATE build_state SET status = 'built'; DROP TABLE blocks");
    run = Query({work, "--find", "passwd"});
    EXPECT_EQ(1, run.nStatus);
    EXPECT_NE(std::string::npos, run.strOut.find("cannot be read")) << run.strOut;
    fs::remove(index);
    run = Query({work, "--find", "passwd"});
    EXPECT_EQ(4, run.nStatus);
    EXPECT_NE(std::string::npos, run.strOut.find("has no text index")) << run.strOut;
}

// The program prints what the search finds on a random package: every hit of a few queries
// against reading every line and row (find_reference.h), field by field.
TEST(TavrinQueryFind, HitsOfARandomPackageAreWhatReadingEveryLineFinds) {
    package_import::test::CTempFolder tmp;
    const std::string work = session_index::test::ImportRandomPackage(tmp.Str(), 31, false);
    if (testing::Test::IsSkipped()) return;
    const session_index::test::CReferenceCorpus reference(work);
    session_index::test::CRandomFindPackage generator(1031);
    std::vector<std::string> queries = generator.Queries(reference, 24);
    queries.erase(queries.begin() + 2, queries.begin() + 10);  // fewer fixed ones
    for (const std::string& query : queries) {
        const std::vector<session_index::test::RefLine> expected = reference.Find(query);
        const CommandRun run = Query({work, "--find", query, "--json", "--limit", "100000"});
        EXPECT_EQ(expected.empty() ? 3 : 0, run.nStatus) << query;
        const QJsonObject doc = Json(run);
        EXPECT_EQ(doc.value("total").toInteger(), static_cast<qint64>(expected.size())) << query;
        const QJsonArray hits = doc.value("hits").toArray();
        ASSERT_EQ(hits.size(), static_cast<qsizetype>(expected.size())) << query;
        for (qsizetype i = 0; i < hits.size(); ++i) {
            const QJsonObject hit = hits[i].toObject();
            const session_index::test::RefLine& want = expected[static_cast<std::size_t>(i)];
            const std::string view =
                want.strView.empty() ? "" : want.strView.substr(5, want.strView.size() - 9);
            const std::string got =
                hit.value("view").toString().toStdString() + "|" +
                hit.value("session").toString().toStdString() + "|" +
                hit.value("source").toString().toStdString() + "|" +
                hit.value("source_kind").toString().toStdString() + "|" +
                std::to_string(hit.value("line").toInteger()) + "|" +
                (hit.value("page").isNull() ? "-" : std::to_string(hit.value("page").toInt())) +
                "|" + hit.value("text").toString().toStdString();
            const std::string wanted =
                view + "|" + platform::AnsiToUtf8(want.strSession) + "|" + want.strSource + "|" +
                (want.bFromFile ? "file" : "table") + "|" + std::to_string(want.nLine) + "|" +
                (want.nViewer < 0 ? "-" : std::to_string(want.nViewer / 25 + 1)) + "|" +
                want.strText;
            EXPECT_EQ(got, wanted) << query;
            const std::string text = hit.value("text").toString().toStdString();
            EXPECT_EQ(static_cast<std::size_t>(hit.value("match_offset").toInteger()),
                      session_index::test::FoldAsciiCase(text).find(
                          session_index::test::FoldAsciiCase(query)))
                << query;
        }
    }
}

TEST_F(TavrinQuery, EveryNameFilterMatchesTheReferenceOnTheImportedSample) {
    const std::vector<std::u16string> typed = TypedFilters(GeneratorWords());
    ASSERT_GT(typed.size(), 60u);
    CheckModelAgainstReference(s_work, s_package->strName, typed);
    // Each run of the program is a process: the words as typed, in a single table and in the
    // joined view (the two sets of column names).
    CheckProgramAgainstReference(s_work, s_package->strName, GeneratorWords(),
                                 {AuditView::SmsLog, AuditView::Joined});
}

// Stored values made of every pair of the generator's words, so every character meets every
// neighbour, filtered by every word and character.
TEST(NameFilterReference, EveryPairOfTheGeneratorsWords) {
    const std::vector<std::u16string> words = GeneratorWords();
    ASSERT_GT(words.size(), 40u);
    package_import::test::CTempFolder tmp;
    const std::string name = "pairs_log_2016-09-01_2016-09-10";
    std::string work;
    sqlite3* db = CreatePackageParentDb(tmp.Str(), name, work);
    ASSERT_NE(nullptr, db);
    browser::test::Exec(db, "BEGIN");
    int id = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        for (size_t j = 0; j < words.size(); ++j) {
            const std::string login = platform::Utf16ToAnsi(words[i] + words[j]);
            const std::string remote = platform::Utf16ToAnsi(words[j] + words[i]);
            const std::string n = std::to_string(++id);
            const std::string times = "'2016-09-05 08:00:00'";
            browser::test::Exec(db, "INSERT INTO unix_sms_log VALUES (" + n +
                                        ",'d','10.1.1.1','ssh'," + times + ",'10.0.0.1','" + login +
                                        "','" + remote + "','sms_" + n + "','a','b','s'," + times +
                                        ")");
            if (id % 7 != 0) continue;  // fewer graphical rows, every word still in them
            for (const char* table : {"unix_vsms_log", "unix_xapp_log"})
                browser::test::Exec(db, std::string("INSERT INTO ") + table + " VALUES (" + n +
                                            ",1,'d'," + times + ",'10.0.0.1','" + login +
                                            "','10.2.0.1','" + remote + "','" + table[5] + n +
                                            "',1024,768,'rdp','s'," + times + ")");
            browser::test::Exec(db, "INSERT INTO vsms_xapp_tab VALUES (" + n +
                                        ",1,'2016-09-05','08:00:00','10.3.0.1','" + remote +
                                        "','v" + n + "','a.exe','C:','ok')");
        }
    }
    browser::test::Exec(db,
                        "INSERT INTO unix_xfer_log SELECT * FROM unix_sms_log WHERE id % 5 = 0");
    browser::test::Exec(db, "COMMIT");
    sqlite3_close(db);

    std::vector<std::u16string> typed = TypedFilters(words);
    CheckModelAgainstReference(work, name, typed);
    // Through the program: the single characters and wildcards, where straddling would show.
    std::vector<std::u16string> shortTyped;
    for (const std::u16string& t : typed) {
        if (t.size() == 1 || t.find_first_of(u"%_") != std::u16string::npos)
            shortTyped.push_back(t);
    }
    CheckProgramAgainstReference(work, name, shortTyped, {AuditView::SmsLog});
}

// What the identifying column of a view's JSON rows is (see RefPackage::ViewRows).
const char* JsonIdKey(AuditView view) {
    if (view == AuditView::Joined) return "login_time";
    return browser::LayoutOfView(view) == browser::ListLayout::kChar ? "session_key" : "recording";
}

// The differential check of the browser's filters through the program: random filters on a
// random package, every row of the view (--all) or every page in turn (--page), printed as
// JSON, against the reference.
TEST(TavrinQueryFilterCheck, ListsExactlyTheReferencesRowsOnEveryPage) {
    package_import::test::CTempFolder tmp;
    std::string work;
    sqlite3* db = CreatePackageParentDb(tmp.Str(), "ref_log_2016-09-01_2016-09-30", work);
    ASSERT_NE(nullptr, db);
    browser::test::CRefGenerator gen(20160905);
    const browser::test::RefPackage package = gen.Package(60);
    ASSERT_TRUE(browser::test::WriteRefPackage(db, package));
    sqlite3_close(db);

    int nListed = 0;
    for (int round = 0; round < 60; ++round) {
        const AuditView view = kViews[round % 5];
        const browser::test::RefFilter f = gen.Filter(package);
        std::vector<std::string> args = {
            work, "--view", ViewName(view), "--json", "--from=" + f.strFrom, "--to=" + f.strTo};
        if (!f.strLoginAddr.empty()) args.push_back("--login-addr=" + f.strLoginAddr);
        if (!f.strRemoteAddr.empty()) args.push_back("--remote-addr=" + f.strRemoteAddr);
        if (!f.strLoginName.empty()) args.push_back("--login-name=" + Utf8(f.strLoginName));
        if (!f.strRemoteName.empty()) args.push_back("--remote-name=" + Utf8(f.strRemoteName));
        const std::vector<browser::test::RefRow> expected = package.Expected(view, f);
        const std::string what =
            std::string(ViewName(view)) + " round " + std::to_string(round) + ": " + f.Describe();
        auto ids = [&](const QJsonObject& doc, std::vector<std::string>& out) {
            for (const QJsonValue& row : doc.value("rows").toArray())
                out.push_back(row.toObject().value(JsonIdKey(view)).toString().toStdString());
        };
        std::vector<std::string> listed;
        if (round % 3 != 0) {
            std::vector<std::string> all = args;
            all.push_back("--all");
            const CommandRun run = Query(all);
            ASSERT_EQ(0, run.nStatus) << what << "\n" << run.strOut.substr(0, 300);
            const QJsonObject doc = Json(run);
            EXPECT_EQ(static_cast<int>(expected.size()), doc.value("total").toInt()) << what;
            ids(doc, listed);
        } else {
            // Page by page up to the last page, as the window's "next" goes.
            for (int page = 1;; ++page) {
                std::vector<std::string> one = args;
                one.push_back("--page=" + std::to_string(page));
                const CommandRun run = Query(one);
                ASSERT_EQ(0, run.nStatus) << what << "\n" << run.strOut.substr(0, 300);
                const QJsonObject doc = Json(run);
                EXPECT_EQ(static_cast<int>(expected.size()), doc.value("total").toInt()) << what;
                ids(doc, listed);
                if (page >= doc.value("pages").toInt()) break;
            }
        }
        EXPECT_EQ("", browser::test::CompareListed(expected, listed)) << what;
        if (!expected.empty()) ++nListed;
    }
    EXPECT_GT(nListed, 12);
}

}  // namespace
