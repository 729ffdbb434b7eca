#include "platform/process_control.h"

#include <gtest/gtest.h>
#include <time.h>

#include <thread>
#include <utility>
#include <vector>

#include "platform/spawn.h"

namespace {

std::int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Records instead of signalling for the life of the object.
class RecordingSeam {
  public:
    RecordingSeam() {
        platform::SetSignalRecorder([this](int pid, int sig) { m_signals.emplace_back(pid, sig); });
    }
    ~RecordingSeam() { platform::SetSignalRecorder({}); }
    std::vector<std::pair<int, int>> m_signals;
};

TEST(ProcessControl, ParseProcessIdRejectsEverythingThatIsNotOneProcess) {
    EXPECT_EQ(platform::ParseProcessId("1234"), 1234);
    EXPECT_EQ(platform::ParseProcessId("  +77"), 77);
    EXPECT_EQ(platform::ParseProcessId("12abc"), 12);
    // 0 is the caller's process group, -1 every process, negatives other groups.
    EXPECT_EQ(platform::ParseProcessId("0"), std::nullopt);
    EXPECT_EQ(platform::ParseProcessId("-1"), std::nullopt);
    EXPECT_EQ(platform::ParseProcessId("-1234"), std::nullopt);
    // Values that wrap around in 32 bits (2^32 + 1 would read as 1) or exceed pid_max.
    EXPECT_EQ(platform::ParseProcessId("4294967297"), std::nullopt);
    EXPECT_EQ(platform::ParseProcessId("99999999999999999999999"), std::nullopt);
    EXPECT_EQ(platform::ParseProcessId(std::to_string(platform::MaxProcessId() + 1LL)),
              std::nullopt);
    EXPECT_EQ(platform::ParseProcessId("abc"), std::nullopt);
    EXPECT_EQ(platform::ParseProcessId(""), std::nullopt);
    EXPECT_EQ(platform::ParseProcessId(" - 5"), std::nullopt);
}

TEST(ProcessControl, NoHandleForNonPositiveIdentifiers) {
    EXPECT_FALSE(platform::OpenProcessHandle(0));
    EXPECT_FALSE(platform::OpenProcessHandle(-1));
    RecordingSeam seam;
    EXPECT_FALSE(platform::SignalProcess(platform::ProcessHandle(), platform::KillSignal()));
    EXPECT_TRUE(seam.m_signals.empty());
}

TEST(ProcessControl, HandleReportsExecutableAndStartTimeAndSignalsTheRightProcess) {
#ifdef _WIN32
    GTEST_SKIP()
        << "runs POSIX programs (/bin/sh, /bin/sleep); spawn_win32_test.cpp covers Windows";
#endif
    const std::int64_t before = NowNs();
    int pid = platform::SpawnDetached("/bin/sleep", {"sleep", "30"});
    ASSERT_GT(pid, 0);
    auto handle = platform::OpenProcessHandle(pid);
    ASSERT_TRUE(handle);
    EXPECT_EQ(handle->Pid(), pid);
    EXPECT_TRUE(platform::ProcessIsAlive(*handle));

    // posix_spawn may return before the exec; wait until the child runs sleep itself.
    std::optional<std::string> exe;
    for (int i = 0; i < 200; ++i) {
        exe = platform::ProcessExecutable(*handle);
        if (exe && exe->find("sleep") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(exe);
    EXPECT_EQ(*exe, "/usr/bin/sleep");

    auto start = platform::ProcessStartTime(*handle);
    ASSERT_TRUE(start);
    const std::int64_t slack = 2 * platform::ProcessStartTimeResolution();
    EXPECT_GE(*start, before - slack);
    EXPECT_LE(*start, NowNs() + slack);

    {
        RecordingSeam seam;
        EXPECT_TRUE(platform::SignalProcess(*handle, platform::KillSignal()));
        ASSERT_EQ(seam.m_signals.size(), 1u);
        EXPECT_EQ(seam.m_signals[0], std::make_pair(pid, platform::KillSignal()));
        EXPECT_TRUE(platform::SignalRecordedOnly(99, 15));
        EXPECT_EQ(seam.m_signals.size(), 2u);
    }
    EXPECT_FALSE(platform::SignalRecordedOnly(99, 15));
    EXPECT_FALSE(platform::WaitProcessEnd(*handle, 50));
    EXPECT_TRUE(platform::ProcessIsAlive(*handle));

    // Our own child, checked through the handle: the only real signal of this test.
    ASSERT_TRUE(platform::SignalProcess(*handle, platform::KillSignal()));
    EXPECT_TRUE(platform::WaitProcessEnd(*handle, 5000));
    EXPECT_FALSE(platform::ProcessIsAlive(*handle));
    // Once ended, nothing read through the handle can be mistaken for a newer process.
    EXPECT_FALSE(platform::ProcessExecutable(*handle));
    EXPECT_FALSE(platform::ProcessStartTime(*handle));
}

TEST(ProcessControl, FileModificationTimeOfMissingFile) {
    EXPECT_FALSE(platform::FileModificationTime("/nonexistent/file/here"));
    EXPECT_TRUE(platform::FileModificationTime("/"));
}

}  // namespace
