#include "platform/spawn.h"

#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace {

// State letter from /proc/PID/stat ('Z' for a zombie), or 0 once the process is gone.
char ProcessState(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return 0;
    size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : 0;
}

bool WaitUntilGone(int pid, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (ProcessState(pid) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(SpawnAndWait, ReportsExitStatusSignalAndStartFailure) {
    auto ok = platform::SpawnAndWait("/bin/sh", {"sh", "-c", "exit 0"});
    EXPECT_TRUE(ok.started);
    EXPECT_EQ(ok.exitStatus, 0);
    EXPECT_EQ(ok.termSignal, 0);

    auto three = platform::SpawnAndWait("/bin/sh", {"sh", "-c", "exit 3"});
    EXPECT_TRUE(three.started);
    EXPECT_EQ(three.exitStatus, 3);

    auto killed = platform::SpawnAndWait("/bin/sh", {"sh", "-c", "kill -9 $$"});
    EXPECT_TRUE(killed.started);
    EXPECT_EQ(killed.exitStatus, -1);
    EXPECT_EQ(killed.termSignal, SIGKILL);

    auto missing = platform::SpawnAndWait("/nonexistent/program", {"program"});
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.errorCode, ENOENT);

    auto noArgs = platform::SpawnAndWait("/bin/true", {});
    EXPECT_FALSE(noArgs.started);
}

TEST(SpawnAndWait, PassesArgumentsVerbatimAndGivesEmptyStandardInput) {
    char folder[] = "/tmp/spawn_test_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string out = std::string(folder) + "/out";
    // "read" would block forever on an inherited terminal; /dev/null gives end of file at once.
    std::string script = "read line; echo \"[$?][$1][$2]\" > \"$3\"";
    auto r = platform::SpawnAndWait("/bin/sh",
                                    {"sh", "-c", script, "sh", "two words", "quote\"d $x", out});
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitStatus, 0);
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "[1][two words][quote\"d $x]");
    unlink(out.c_str());
    rmdir(folder);
}

TEST(SpawnDetached, ReturnsAtOnceAndLeavesNoZombie) {
    auto start = std::chrono::steady_clock::now();
    int err = -7;
    int pid = platform::SpawnDetached("/bin/sh", {"sh", "-c", "sleep 0.3"}, &err);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(err, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    EXPECT_NE(ProcessState(pid), 0);  // still running
    EXPECT_TRUE(WaitUntilGone(pid, std::chrono::seconds(5)));

    // Many quick children: none may linger as a zombie.
    std::vector<int> pids;
    for (int i = 0; i < 20; ++i) pids.push_back(platform::SpawnDetached("/bin/true", {"true"}));
    for (int p : pids) {
        ASSERT_GT(p, 0);
        EXPECT_TRUE(WaitUntilGone(p, std::chrono::seconds(5))) << "pid " << p;
    }
}

TEST(SpawnDetached, ReportsStartFailure) {
    int err = 0;
    EXPECT_EQ(platform::SpawnDetached("/nonexistent/program", {"program"}, &err), -1);
    EXPECT_EQ(err, ENOENT);
    EXPECT_EQ(platform::SpawnDetached("/bin/true", {}, nullptr), -1);
}

}  // namespace
