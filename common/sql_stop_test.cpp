#include "common/sql_stop.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "common/db_handle.h"
#include "platform/termination_signals.h"

namespace {

using Clock = std::chrono::steady_clock;

// Counts for ever: nothing but the stop handler ends it.
constexpr const char* kEndless =
    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
    "SELECT count(*) FROM c WHERE x < 0";

class SqlStop : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(OpenDbHandle(m_db, ":memory:"), SQLITE_OK); }
    void TearDown() override { common::SetThreadTimeLimit(std::chrono::milliseconds(0)); }

    // Runs the endless query on this thread; returns its result code and how long it ran.
    std::pair<int, double> RunEndless() {
        auto start = Clock::now();
        int rc = sqlite3_exec(m_db.db, kEndless, nullptr, nullptr, nullptr);
        return {rc, std::chrono::duration<double>(Clock::now() - start).count()};
    }

    DbHandle m_db;
};

TEST_F(SqlStop, TheThreadsStopFlagEndsARunningStatementAndOnlyOnThatThread) {
    std::atomic<bool> stop{false};
    std::atomic<bool> otherDone{false};
    // Another thread's statement on the same connection is not stopped by this flag.
    std::thread other([&] {
        sqlite3_exec(m_db.db, "SELECT 1", nullptr, nullptr, nullptr);
        otherDone = true;
    });
    other.join();
    EXPECT_TRUE(otherDone);
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    std::pair<int, double> run;
    {
        common::CStopScope scope(&stop);
        EXPECT_FALSE(common::StopRequested() && !stop);
        run = RunEndless();
        EXPECT_TRUE(common::StopRequested());
    }
    setter.join();
    EXPECT_EQ(run.first, SQLITE_INTERRUPT);
    EXPECT_LT(run.second, 2.0);
    // The scope has ended: the flag no longer applies, the connection works as before.
    EXPECT_FALSE(common::StopRequested());
    EXPECT_EQ(sqlite3_exec(m_db.db, "SELECT 1", nullptr, nullptr, nullptr), SQLITE_OK);
}

TEST_F(SqlStop, ScopesNestAndRestoreTheOuterFlag) {
    std::atomic<bool> outer{true};
    std::atomic<bool> inner{false};
    common::CStopScope a(&outer);
    EXPECT_TRUE(common::StopRequested());
    {
        common::CStopScope b(&inner);
        EXPECT_FALSE(common::StopRequested());
    }
    EXPECT_TRUE(common::StopRequested());
}

TEST_F(SqlStop, TheTimeLimitStopsEachStatementThatRunsLongerAndCallsTheHookOnce) {
    static std::atomic<int> calls{0};
    calls = 0;
    common::SetThreadTimeLimit(std::chrono::milliseconds(200), [](void*) { ++calls; });
    // Quick statements, one after another, never add up to the limit.
    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        EXPECT_EQ(sqlite3_exec(m_db.db, "SELECT 1", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    std::pair<int, double> run = RunEndless();
    EXPECT_EQ(run.first, SQLITE_INTERRUPT);
    EXPECT_GE(run.second, 0.19);
    EXPECT_LT(run.second, 2.0);
    EXPECT_EQ(calls.load(), 1);
    // Until the thread resumes, its statements stop at once, so one handler running several
    // queries returns within one limit.
    run = RunEndless();
    EXPECT_EQ(run.first, SQLITE_INTERRUPT);
    EXPECT_LT(run.second, 0.1);
    EXPECT_EQ(calls.load(), 1);
    common::ResumeAfterTimeLimit();
    run = RunEndless();
    EXPECT_GE(run.second, 0.19);
    EXPECT_EQ(calls.load(), 2);
    // A limit set on this thread does not reach another one.
    std::atomic<bool> stop{false};
    std::thread other([&] {
        common::CStopScope scope(&stop);
        auto start = Clock::now();
        sqlite3_exec(m_db.db, kEndless, nullptr, nullptr, nullptr);
        EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(400));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    stop = true;
    other.join();
}

TEST_F(SqlStop, WorkWithItsOwnCancelRunsPastTheLimitWhichComesBackAfterIt) {
    common::SetThreadTimeLimit(std::chrono::milliseconds(100));
    constexpr const char* kLong =
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 3000000) "
        "SELECT count(*) FROM c";
    {
        common::CNoTimeLimitScope lifted;
        auto start = Clock::now();
        EXPECT_EQ(sqlite3_exec(m_db.db, kLong, nullptr, nullptr, nullptr), SQLITE_OK);
        ASSERT_GT(Clock::now() - start, std::chrono::milliseconds(150)) << "too quick to tell";
    }
    std::pair<int, double> run = RunEndless();
    EXPECT_EQ(run.first, SQLITE_INTERRUPT);
    EXPECT_LT(run.second, 2.0);
}

TEST_F(SqlStop, ATerminationSignalStopsStatementsOnEveryThreadUntilCleared) {
    ASSERT_GE(platform::InstallTerminationSignalPipe(), 0);
    int rc = SQLITE_OK;
    std::thread worker([&] { rc = sqlite3_exec(m_db.db, kEndless, nullptr, nullptr, nullptr); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(platform::RaiseSignal(platform::SigTerm()));
    worker.join();  // would never end without the handler
    EXPECT_EQ(rc, SQLITE_INTERRUPT);
    EXPECT_TRUE(platform::TerminationRequested());
    EXPECT_TRUE(common::StopRequested());
    EXPECT_EQ(platform::TakeTerminationSignal(), platform::SigTerm());
    platform::RestoreDefaultTerminationSignals();
    EXPECT_FALSE(common::StopRequested());
    EXPECT_EQ(sqlite3_exec(m_db.db, "SELECT 1", nullptr, nullptr, nullptr), SQLITE_OK);
}

TEST_F(SqlStop, ConnectionsOpenedElsewhereGetTheHandlerToo) {
    common::HardenEveryConnection();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    std::atomic<bool> stop{true};
    common::CStopScope scope(&stop);
    EXPECT_EQ(sqlite3_exec(db, kEndless, nullptr, nullptr, nullptr), SQLITE_INTERRUPT);
    sqlite3_close(db);
}

}  // namespace
