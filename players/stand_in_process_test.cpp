// A stand-in run for real (offscreen): it registers beside itself while its window is open
// and unregisters on SIGTERM.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/testing/temp_folder.h"
#include "platform/process_control.h"
#include "platform/spawn.h"

namespace fs = std::filesystem;

namespace {

TEST(StandInProcess, RegistersWhileOpenAndUnregistersOnTermination) {
    common::test::CTempFolder temp;
    const fs::path& program = temp.Path();
    fs::create_directories(program / "processid");
    fs::copy_file(STAND_IN_ONDRIXS, program / "OndrixS");
    std::ofstream(program / "s9") << "line 1\nline 2\n";

    const int pid = platform::SpawnDetached(
        (program / "OndrixS").string(), {"OndrixS", "~" + (program / "s9").string() + " ~100 ~30"});
    ASSERT_GT(pid, 0);
    auto handle = platform::OpenProcessHandle(pid);
    ASSERT_TRUE(handle);
    const fs::path entry = program / "processid" / std::to_string(pid);
    for (int i = 0; i < 1000 && !fs::exists(entry) && platform::ProcessIsAlive(*handle); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(entry));
    // Let the window finish starting so the signal watch is in place.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    // The one signal of this test goes to our own child, through its handle.
    ASSERT_TRUE(platform::SignalProcess(*handle, platform::TerminateSignal()));
    EXPECT_TRUE(platform::WaitProcessEnd(*handle, 10000));
    EXPECT_FALSE(fs::exists(entry));
}

}  // namespace
