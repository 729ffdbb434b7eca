// Windows behaviour of child processes: the command line a child parses back, exit codes,
// captured output, stopping, process handles, the single-instance semaphore and the
// termination events. The child that must stay running is this test program itself, started
// on its disabled helper test.
#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

#include "common/testing/temp_folder.h"
#include "platform/child_cpu_times.h"
#include "platform/process_control.h"
#include "platform/process_output.h"
#include "platform/single_instance.h"
#include "platform/spawn.h"
#include "platform/system_win32.h"
#include "platform/termination_signals.h"

namespace {

std::string SelfPath() {
    auto self = platform::OpenProcessHandle(platform::CurrentProcessId());
    return self ? platform::ProcessExecutable(*self).value_or("") : "";
}

std::string Cmd() {
    wchar_t folder[MAX_PATH];
    GetSystemDirectoryW(folder, MAX_PATH);
    return platform::win32::Narrow(folder) + "/cmd.exe";
}

// Starts this program running only the sleeping helper below.
int StartSleeper() {
    return platform::SpawnDetached(SelfPath(), {"sleeper", "--gtest_also_run_disabled_tests",
                                                "--gtest_filter=Win32Helper.DISABLED_Sleep"});
}

TEST(Win32Helper, DISABLED_Sleep) {
    std::this_thread::sleep_for(std::chrono::seconds(30));
}

// Writes to its standard output without pause for at most 30 s.
TEST(Win32Helper, DISABLED_WriteWithoutPause) {
    const std::string line(1000, 'x');
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) std::fwrite(line.data(), 1, line.size(), stdout);
}

TEST(SpawnWin32, EveryArgumentReachesTheChildAsItWas) {
    const std::vector<std::wstring> arguments = {L"plain",
                                                 L"two words",
                                                 L"",
                                                 L"quote\"inside",
                                                 L"trailing\\",
                                                 L"dir\\with space\\",
                                                 L"\\\\server\\share",
                                                 L"a\\\\\"b",
                                                 L"tab\there",
                                                 L"\x5BA1\x8BA1~1~2"};
    std::wstring line = L"program";
    for (const std::wstring& a : arguments) line += L" " + platform::win32::QuoteArgument(a);
    int count = 0;
    LPWSTR* parsed = CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(parsed, nullptr);
    ASSERT_EQ(count, static_cast<int>(arguments.size()) + 1);
    for (std::size_t i = 0; i < arguments.size(); ++i) EXPECT_EQ(parsed[i + 1], arguments[i]) << i;
    LocalFree(parsed);
}

TEST(SpawnWin32, ExitCodesOutputAndFailedStarts) {
    platform::SpawnResult result = platform::SpawnAndWait(Cmd(), {"cmd", "/c", "exit 7"});
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exitStatus, 7);

    platform::CapturedOutput out = platform::RunAndCaptureOutput(
        Cmd(), {"cmd", "/c", "echo hello& echo oops 1>&2"}, 1000, 20000);
    EXPECT_TRUE(out.started);
    EXPECT_EQ(out.exitStatus, 0);
    EXPECT_NE(out.text.find("hello"), std::string::npos);
    EXPECT_NE(out.text.find("oops"), std::string::npos);
    // Kept to the limit however much the child says.
    out = platform::RunAndCaptureOutput(Cmd(), {"cmd", "/c", "echo 0123456789"}, 4, 20000);
    EXPECT_EQ(out.text, "0123");

    result = platform::SpawnAndWait("C:/no/such/program.exe", {"program"});
    EXPECT_FALSE(result.started);
    EXPECT_NE(result.errorCode, 0);
    EXPECT_EQ(platform::SpawnDetached(Cmd(), {}), -1);
    // A program named without ".exe" is found as Windows' own search would find it.
    std::string bare = Cmd();
    bare.resize(bare.size() - 4);
    EXPECT_EQ(platform::SpawnAndWait(bare, {"cmd", "/c", "exit 3"}).exitStatus, 3);
    EXPECT_GE(platform::ChildrenCpuSeconds(), 0.0);
}

TEST(SpawnWin32, WatchedChildPassesItsOutputAndStopsWhenAsked) {
    std::string seen;
    platform::SpawnResult result = platform::SpawnWatched(
        Cmd(), {"cmd", "/c", "echo 42%"},
        [&](const char* data, std::size_t size) { seen.append(data, size); }, {}, 20);
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_NE(seen.find("42%"), std::string::npos);

    const auto start = std::chrono::steady_clock::now();
    result = platform::SpawnWatched(
        SelfPath(),
        {"sleeper", "--gtest_also_run_disabled_tests", "--gtest_filter=Win32Helper.DISABLED_Sleep"},
        {}, [] { return true; }, 20);
    EXPECT_TRUE(result.stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

    // A child that never falls quiet is still asked about.
    const auto writing = std::chrono::steady_clock::now();
    std::size_t received = 0;
    result = platform::SpawnWatched(
        SelfPath(),
        {"writer", "--gtest_also_run_disabled_tests",
         "--gtest_filter=Win32Helper.DISABLED_WriteWithoutPause"},
        [&](const char*, std::size_t size) { received += size; }, [&] { return received > 100000; },
        20);
    EXPECT_TRUE(result.stopped);
    EXPECT_GT(received, 100000u);
    EXPECT_LT(std::chrono::steady_clock::now() - writing, std::chrono::seconds(20));
}

TEST(ProcessControlWin32, HandleTellsTheImageAndStartAndEndsTheProcess) {
    const auto now = [] {
        FILETIME ft;
        GetSystemTimeAsFileTime(&ft);
        return platform::win32::FileTimeToUnixNs(ft);
    };
    const std::int64_t before = now();
    const int pid = StartSleeper();
    ASSERT_GT(pid, 0);
    auto handle = platform::OpenProcessHandle(pid);
    ASSERT_TRUE(handle);
    EXPECT_TRUE(platform::ProcessIsAlive(*handle));
    EXPECT_EQ(platform::ProcessExecutable(*handle), SelfPath());
    const auto started = platform::ProcessStartTime(*handle);
    ASSERT_TRUE(started);
    const std::int64_t slack = platform::ProcessStartTimeResolution();
    EXPECT_GE(*started, before - slack);
    EXPECT_LE(*started, now() + slack);
    EXPECT_FALSE(platform::WaitProcessEnd(*handle, 50));
    EXPECT_TRUE(platform::SignalProcess(*handle, platform::KillSignal()));
    EXPECT_TRUE(platform::WaitProcessEnd(*handle, 10000));
    EXPECT_FALSE(platform::ProcessIsAlive(*handle));
    EXPECT_FALSE(platform::ProcessExecutable(*handle));  // ended: nothing to trust
}

TEST(SingleInstanceWin32, OneHolderPerNameAndFolderReleasedWithItsHandle) {
    common::test::CTempFolder one("single_instance_win32_test.");
    common::test::CTempFolder two("single_instance_win32_test.");
    auto first = std::make_unique<platform::CInstanceLock>(one.Path().string(), "Tavrin.exe");
    ASSERT_EQ(first->GetState(), platform::CInstanceLock::State::kAcquired);
    EXPECT_EQ(platform::CInstanceLock(one.Path().string(), "Tavrin.exe").GetState(),
              platform::CInstanceLock::State::kHeldElsewhere);
    EXPECT_EQ(platform::CInstanceLock(one.Path().string(), "Morvel.exe").GetState(),
              platform::CInstanceLock::State::kAcquired);
    EXPECT_EQ(platform::CInstanceLock(two.Path().string(), "Tavrin.exe").GetState(),
              platform::CInstanceLock::State::kAcquired);
    EXPECT_EQ(platform::CInstanceLock((one.Path() / "absent").string(), "Tavrin.exe").GetState(),
              platform::CInstanceLock::State::kUnavailable);

    // A child that outlives the holder does not keep the marker.
    const int pid = StartSleeper();
    ASSERT_GT(pid, 0);
    first.reset();
    EXPECT_EQ(platform::CInstanceLock(one.Path().string(), "Tavrin.exe").GetState(),
              platform::CInstanceLock::State::kAcquired);
    if (auto child = platform::OpenProcessHandle(pid))
        platform::SignalProcess(*child, platform::KillSignal());
}

TEST(TerminationWin32, SignalsAndConsoleEventsArriveThroughThePipe) {
    const int fd = platform::InstallTerminationSignalPipe();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(platform::InstallTerminationSignalPipe(), fd);
    EXPECT_EQ(platform::TakeTerminationSignal(), 0);
    ASSERT_TRUE(platform::RaiseSignal(platform::SigTerm()));
    EXPECT_EQ(platform::TakeTerminationSignal(), platform::SigTerm());
    ASSERT_TRUE(platform::RaiseSignal(platform::SigInt()));
    ASSERT_TRUE(platform::RaiseSignal(platform::SigHup()));
    EXPECT_EQ(platform::TakeTerminationSignal(), platform::SigHup());  // the last one waiting
    EXPECT_EQ(platform::TakeTerminationSignal(), 0);
    // The request stays until the defaults return; later tests start without one.
    EXPECT_TRUE(platform::TerminationRequested());
    platform::RestoreDefaultTerminationSignals();
}

}  // namespace
