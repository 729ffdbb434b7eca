// The queue of index builds: one package at a time, stoppable at any point, with the state the
// ticker shows. Work folders are made by hand (a Parent.db with one graphical session and its
// scan file), so a build takes as long as its file is big.
#include "tavrin/find/session_index_runner.h"

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "tavrin/find/find_strings.h"
#include "tavrin/testing/import_test_util.h"

namespace session_index {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class IndexRunnerTest : public testing::Test {
  protected:
    // A work folder named name whose one session's scan file has lines lines.
    std::string Package(const std::string& name, int lines) {
        const std::string work = m_tmp / name;
        fs::create_directories(work + "/var/utm/data/sessions");
        sqlite3* db = nullptr;
        EXPECT_EQ(SQLITE_OK, sqlite3_open((work + "/" + name + "Parent.db").c_str(), &db));
        sqlite3_exec(db,
                     "CREATE TABLE unix_vsms_log (c0, c1, c2, c3, c4, c5, c6, c7, c8, c9, c10, "
                     "c11, c12, c13);"
                     "INSERT INTO unix_vsms_log VALUES (1, 1001, 'dev', '2016-09-01 10:00:00', "
                     "'10.0.0.1', 'root', '10.0.0.2', 'admin', 'rec', 1024, 768, 'rdp', 'ok', "
                     "'2016-09-01 11:00:00');",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        std::string text;
        for (int i = 0; i < lines; ++i)
            text += "scan line " + std::to_string(i) + " of " + name + "\n";
        package_import::test::WriteFile(work + "/var/utm/data/sessions/rec.scan", text);
        return work;
    }

    // Waits (bounded) until the package's build is under way.
    static bool WaitRunning(const CSessionIndexRunner& runner, const std::string& name) {
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (Clock::now() < deadline) {
            const IndexTickerState state = runner.State(name);
            if (state.status == IndexStatus::kBuilding && !state.bWaiting) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    package_import::test::CTempFolder m_tmp;
};

TEST_F(IndexRunnerTest, PackagesAreIndexedOneAtATimeInTheOrderTheirLoadsEnded) {
    const std::string big = Package("big", 300000), small = Package("small", 10);
    CSessionIndexRunner runner;
    std::mutex lock;
    std::vector<std::string> ended;
    auto done = [&](const std::string& name, const SessionIndexOutcome& outcome) {
        std::lock_guard<std::mutex> guard(lock);
        ended.push_back(name + ":" + IndexStatusName(outcome.status));
    };
    EXPECT_EQ(IndexTickerStringId(runner.State("big")), 0);
    ASSERT_TRUE(runner.Queue("big", IndexInputsForWorkFolder(big), done));
    ASSERT_TRUE(runner.Queue("small", IndexInputsForWorkFolder(small), done));
    // Queued again while queued or running: refused.
    EXPECT_FALSE(runner.Queue("small", IndexInputsForWorkFolder(small), done));
    ASSERT_TRUE(WaitRunning(runner, "big"));
    // The second waits for the first: one thread, one core.
    const IndexTickerState waiting = runner.State("small");
    EXPECT_TRUE(waiting.bWaiting);
    EXPECT_EQ(IndexTickerStringId(waiting), kStrIndexWaiting);
    EXPECT_EQ(IndexTickerStringId(runner.State("big")), kStrIndexBuilding);
    EXPECT_FALSE(fs::exists(IndexPathForWorkFolder(small)));

    runner.WaitIdle();
    EXPECT_EQ(ended, (std::vector<std::string>{"big:built", "small:built"}));
    for (const char* name : {"big", "small"}) {
        EXPECT_EQ(runner.State(name).status, IndexStatus::kBuilt);
        EXPECT_EQ(runner.State(name).nPercent, 100);
        EXPECT_EQ(IndexTickerStringId(runner.State(name)), kStrIndexBuilt);
    }
}

TEST_F(IndexRunnerTest, StopAllEndsTheBuildUnderWayAtOnceAndDropsTheQueue) {
    const std::string big = Package("big", 600000), small = Package("small", 10);
    CSessionIndexRunner runner;
    std::atomic<int> calls{0};
    auto done = [&](const std::string&, const SessionIndexOutcome&) { ++calls; };
    ASSERT_TRUE(runner.Queue("big", IndexInputsForWorkFolder(big), done));
    ASSERT_TRUE(runner.Queue("small", IndexInputsForWorkFolder(small), done));
    ASSERT_TRUE(WaitRunning(runner, "big"));

    const auto start = Clock::now();
    runner.StopAll();
    // Well within this under a sanitizer on a loaded machine; far less normally.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(calls.load(), 1);
    // Stopped, whatever its percentage: on a quick machine the stop may come after the last
    // line went in but before the build was sealed, which still leaves no usable index.
    EXPECT_EQ(runner.State("big").status, IndexStatus::kStopped);
    EXPECT_EQ(IndexTickerStringId(runner.State("big")), kStrIndexStopped);
    // The waiting package was never started: no index file of it.
    EXPECT_EQ(runner.State("small").status, IndexStatus::kStopped);
    EXPECT_FALSE(fs::exists(IndexPathForWorkFolder(small)));
    // Closing: nothing is queued any more.
    EXPECT_FALSE(runner.Queue("small", IndexInputsForWorkFolder(small), done));
    runner.StopAll();
}

TEST_F(IndexRunnerTest, OnePackageStoppedTheOthersGoOnAndItCanBeQueuedAgain) {
    const std::string big = Package("big", 300000), small = Package("small", 10);
    CSessionIndexRunner runner;
    ASSERT_TRUE(runner.Queue("big", IndexInputsForWorkFolder(big)));
    ASSERT_TRUE(runner.Queue("small", IndexInputsForWorkFolder(small)));
    ASSERT_TRUE(WaitRunning(runner, "big"));
    runner.Stop("big");
    runner.Stop("nobody");
    runner.WaitIdle();
    EXPECT_EQ(runner.State("big").status, IndexStatus::kStopped);
    EXPECT_EQ(runner.State("small").status, IndexStatus::kBuilt);

    ASSERT_TRUE(runner.Queue("big", IndexInputsForWorkFolder(big)));
    runner.WaitIdle();
    EXPECT_EQ(runner.State("big").status, IndexStatus::kBuilt);
}

}  // namespace

}  // namespace session_index
