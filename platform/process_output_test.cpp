#include "platform/process_output.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(ProcessOutput, ReadsOutputAndExitStatus) {
#ifdef _WIN32
    GTEST_SKIP()
        << "runs POSIX programs (/bin/sh, /bin/sleep); spawn_win32_test.cpp covers Windows";
#endif
    platform::CapturedOutput out = platform::RunAndCaptureOutput(
        "/bin/sh", {"sh", "-c", "echo banner; echo error >&2; read x; exit 3"}, 4096, 5000);
    EXPECT_TRUE(out.started);
    EXPECT_FALSE(out.timedOut);
    EXPECT_EQ(out.exitStatus, 3);  // standard input is /dev/null: read ends at once
    EXPECT_EQ(out.text, "banner\nerror\n");
}

TEST(ProcessOutput, BoundsTimeAndSize) {
#ifdef _WIN32
    GTEST_SKIP()
        << "runs POSIX programs (/bin/sh, /bin/sleep); spawn_win32_test.cpp covers Windows";
#endif
    auto start = std::chrono::steady_clock::now();
    platform::CapturedOutput slow =
        platform::RunAndCaptureOutput("/bin/sh", {"sh", "-c", "sleep 30"}, 4096, 300);
    EXPECT_TRUE(slow.timedOut);
    EXPECT_EQ(slow.exitStatus, -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    // A program that writes without end is cut off at the limit.
    platform::CapturedOutput flood =
        platform::RunAndCaptureOutput("/usr/bin/yes", {"yes"}, 1000, 5000);
    EXPECT_TRUE(flood.started);
    EXPECT_EQ(flood.text.size(), 1000u);
    EXPECT_FALSE(flood.timedOut);

    // Output left open by a child that outlives its parent does not hold the caller.
    start = std::chrono::steady_clock::now();
    platform::CapturedOutput lingering = platform::RunAndCaptureOutput(
        "/bin/sh", {"sh", "-c", "echo x; sleep 3 & exit 0"}, 4096, 500);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(lingering.text.substr(0, 2), "x\n");
}

TEST(ProcessOutput, MissingProgram) {
    platform::CapturedOutput out =
        platform::RunAndCaptureOutput("/nonexistent/program", {"program"}, 100, 1000);
    EXPECT_FALSE(out.started);
    EXPECT_NE(out.errorCode, 0);
}

}  // namespace
