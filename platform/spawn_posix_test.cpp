#include "common/testing/temp_folder.h"
#include "platform/spawn.h"

#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
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
    common::test::CTempFolder folder;
    const std::string out = (folder / "out");
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

namespace {

struct SWatched {
    platform::SpawnResult result;
    std::string output;
};

SWatched Watch(const std::vector<std::string>& argv, const platform::StopRequest& stop = {}) {
    SWatched watched;
    const std::string program = argv[0] == "sh" ? "/bin/sh" : argv[0];
    watched.result = platform::SpawnWatched(
        program, argv, [&](const char* data, size_t size) { watched.output.append(data, size); },
        stop, 20);
    return watched;
}

TEST(SpawnWatched, GivesTheChildATerminalAndEveryByteUntranslated) {
    auto tty = Watch({"sh", "-c", "test -t 1 && printf 'on a terminal\\nline two\\n'; exit 4"});
    ASSERT_TRUE(tty.result.started);
    EXPECT_EQ(tty.result.exitStatus, 4);
    EXPECT_FALSE(tty.result.stopped);
    EXPECT_EQ(tty.output, "on a terminal\nline two\n");  // no CR added

    // Far more than one read and than the terminal's buffer, written by a child that ends at
    // once: nothing is lost at its end.
    auto big = Watch({"sh", "-c", "head -c 3000000 /dev/zero | tr '\\0' 'x'"});
    EXPECT_EQ(big.result.exitStatus, 0);
    EXPECT_EQ(big.output.size(), 3000000u);
    EXPECT_EQ(big.output.find_first_not_of('x'), std::string::npos);

    auto missing = Watch({"/nonexistent/program"});
    EXPECT_FALSE(missing.result.started);
    EXPECT_EQ(missing.result.errorCode, ENOENT);
    EXPECT_FALSE(platform::SpawnWatched("/bin/true", {}, {}, {}).started);
}

TEST(SpawnWatched, StopKillsTheChildAndWhatItStartedPromptly) {
    auto start = std::chrono::steady_clock::now();
    int polls = 0;
    // The child waits for a process of its own, which must not outlive the stop either.
    auto stopped =
        Watch({"sh", "-c", "sleep 30 2>/dev/null & echo $!; wait"}, [&] { return ++polls > 5; });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(stopped.result.stopped);
    EXPECT_EQ(stopped.result.termSignal, SIGKILL);
    const int grandchild = std::atoi(stopped.output.c_str());
    ASSERT_GT(grandchild, 0) << stopped.output;
    EXPECT_TRUE(WaitUntilGone(grandchild, std::chrono::seconds(5)));

    // A stop that is never asked for leaves the run alone.
    auto whole = Watch({"sh", "-c", "sleep 0.2; echo end"}, [] { return false; });
    EXPECT_FALSE(whole.result.stopped);
    EXPECT_EQ(whole.output, "end\n");
}

// A child that writes without pause (as an archiver showing its progress can) is still asked
// about: the stop is heard at once, not once the child falls quiet.
TEST(SpawnWatched, StopIsHeardWhileTheChildKeepsWriting) {
    const auto start = std::chrono::steady_clock::now();
    std::size_t received = 0;
    int asked = 0;
    const platform::SpawnResult result = platform::SpawnWatched(
        "/bin/sh", {"sh", "-c", "yes | head -c 4000000000"},
        [&](const char*, size_t size) { received += size; },
        [&] { return ++asked > 3 && received > 0; }, 20);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.termSignal, SIGKILL);
    EXPECT_GT(received, 0u);
}

TEST(SpawnWatched, EndsWithTheChildEvenWhenAnotherProcessKeepsItsOutputOpen) {
    auto start = std::chrono::steady_clock::now();
    auto left = Watch({"sh", "-c", "sleep 3 2>/dev/null & echo done"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_EQ(left.result.exitStatus, 0);
    EXPECT_EQ(left.output, "done\n");
}

}  // namespace
