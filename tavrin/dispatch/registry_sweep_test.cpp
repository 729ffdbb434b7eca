#include "tavrin/dispatch/registry_sweep.h"
#include "common/testing/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>
#include <vector>

#include "platform/process_control.h"
#include "platform/spawn.h"

namespace dispatch {

namespace fs = std::filesystem;

namespace {

// While alive, the sweep records the signals it would send instead of sending them.
class RecordingSeam {
  public:
    RecordingSeam() {
        platform::SetSignalRecorder([this](int pid, int sig) { m_signals.emplace_back(pid, sig); });
    }
    ~RecordingSeam() { platform::SetSignalRecorder({}); }
    std::vector<std::pair<int, int>> m_signals;
};

class RegistrySweepTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_program = m_temp.Path();
        fs::create_directories(m_registry = m_program / "processid");
    }
    void TearDown() override {
        fs::remove(m_program / "probe_stay");
        // Every probe started here must be gone before the folder is.
        for (auto& handle : m_children) platform::WaitProcessEnd(handle, 5000);
    }

    void Touch(const std::string& name) { std::ofstream(m_registry / name); }
    size_t RegistrySize() {
        return std::distance(fs::directory_iterator(m_registry), fs::directory_iterator());
    }

    // Starts a copy of the probe that lives in the test program folder and waits until it has
    // registered. Returns its handle.
    platform::ProcessHandle StartRegisteredProbe(const std::string& name) {
        const fs::path exe = m_program / name;
        if (!fs::exists(exe)) fs::copy_file(PLAYER_PROBE_PATH, exe);
        std::ofstream(m_program / "probe_stay");
        int pid = platform::SpawnDetached(exe.string(), {name});
        EXPECT_GT(pid, 0);
        auto handle = platform::OpenProcessHandle(pid);
        EXPECT_TRUE(handle);
        for (int i = 0; i < 500 && !fs::exists(m_registry / std::to_string(pid)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(fs::exists(m_registry / std::to_string(pid)));
        // The player writes its entry after creating it, and Windows lets nobody else change the
        // entry (its time, as some tests do) until the player has closed it.
        for (int i = 0; i < 500 && !std::ofstream(m_registry / std::to_string(pid), std::ios::app);
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return handle ? std::move(*handle) : platform::ProcessHandle();
    }

    common::test::CTempFolder m_temp;
    fs::path m_program;
    fs::path m_registry;
    std::vector<platform::ProcessHandle> m_children;
};

TEST_F(RegistrySweepTest, NamesThatAreNoSingleProcessAreDeletedAndStopNothing) {
    RecordingSeam seam;
    for (const char* name : {"0", "-1", "4294967297", "abc", "-0", "+0", " 0"}) Touch(name);
    // Read-only entries are deleted all the same.
    fs::permissions(m_registry / "abc", fs::perms::owner_read);
    fs::create_directory(m_registry / "sub");

    SweepReport report = SweepRegistry(m_registry.string(), m_program.string());
    EXPECT_TRUE(seam.m_signals.empty());
    EXPECT_EQ(report.nStopped, 0);
    EXPECT_EQ(report.nDeleted, 7);
    EXPECT_EQ(report.nKept, 1);  // a subfolder is not deleted as a file
    EXPECT_EQ(RegistrySize(), 1u);
    EXPECT_TRUE(fs::is_directory(m_registry / "sub"));
}

TEST_F(RegistrySweepTest, OtherProgramsAndStaleEntriesAreNeverStopped) {
    RecordingSeam seam;
    // A live process of another program under a registered identifier: a probe in a folder
    // of its own, which it stays in while "probe_stay" lies there.
    const fs::path other = m_program.string() + "_other";
    fs::create_directories(other / "processid");
    fs::copy_file(PLAYER_PROBE_PATH, other / "Sleeper", fs::copy_options::overwrite_existing);
    std::ofstream(other / "probe_stay");
    int sleeper = platform::SpawnDetached((other / "Sleeper").string(), {"Sleeper"});
    ASSERT_GT(sleeper, 0);
    auto sleeperHandle = platform::OpenProcessHandle(sleeper);
    ASSERT_TRUE(sleeperHandle);
    Touch(std::to_string(sleeper));
    // The calling process itself (it lives in another folder, but must never be hit anyway).
    Touch(std::to_string(platform::CurrentProcessId()));

    SweepReport report = SweepRegistry(m_registry.string(), m_program.string());
    EXPECT_TRUE(seam.m_signals.empty());
    EXPECT_EQ(report.nStopped, 0);
    EXPECT_EQ(RegistrySize(), 0u);
    EXPECT_TRUE(platform::ProcessIsAlive(*sleeperHandle));
    platform::SetSignalRecorder({});
    ASSERT_TRUE(platform::SignalProcess(*sleeperHandle, platform::KillSignal()));
    EXPECT_TRUE(platform::WaitProcessEnd(*sleeperHandle, 5000));
    fs::remove_all(other);
}

// An entry's modification time can be set back by anyone; a live player whose entry was
// back-dated is still the registrant and is stopped.
TEST_F(RegistrySweepTest, ABackDatedEntryDoesNotLetALivePlayerSurvive) {
    platform::ProcessHandle probe = StartRegisteredProbe("Ondrix");
    const fs::path probeEntry = m_registry / std::to_string(probe.Pid());
    fs::last_write_time(probeEntry, fs::last_write_time(probeEntry) - std::chrono::hours(1));
    SweepReport report = SweepRegistry(m_registry.string(), m_program.string());
    EXPECT_EQ(report.nStopped, 1);
    EXPECT_EQ(RegistrySize(), 0u);
    EXPECT_TRUE(platform::WaitProcessEnd(probe, 5000));
}

TEST_F(RegistrySweepTest, RegisteredPlayersOfTheProgramFolderAreStoppedAndTheFolderEmptied) {
    platform::ProcessHandle first = StartRegisteredProbe("Ondrix");
    platform::ProcessHandle second = StartRegisteredProbe("Morvel");
    Touch("abc");
    {
        RecordingSeam seam;
        SweepReport recorded = SweepRegistry(m_registry.string());
        EXPECT_EQ(recorded.nStopped, 2);
        ASSERT_EQ(seam.m_signals.size(), 2u);
        for (auto [pid, sig] : seam.m_signals) {
            EXPECT_TRUE(pid == first.Pid() || pid == second.Pid()) << pid;
            EXPECT_EQ(sig, platform::KillSignal());
        }
    }
    EXPECT_TRUE(platform::ProcessIsAlive(first));
    // The recorded sweep deleted the entries; the players register again as if just started.
    std::ofstream(m_registry / std::to_string(first.Pid()));
    std::ofstream(m_registry / std::to_string(second.Pid()));

    // The real sweep: only our own two probes, each confirmed through its handle, are hit.
    SweepReport report = SweepRegistry(m_registry.string(), m_program.string());
    EXPECT_EQ(report.nStopped, 2);
    EXPECT_EQ(RegistrySize(), 0u);
    // The sweep waits for what it stopped, so both have ended already.
    EXPECT_FALSE(platform::ProcessIsAlive(first));
    EXPECT_FALSE(platform::ProcessIsAlive(second));
}

#ifdef _WIN32
// Windows names one folder in any case: the program folder as the user typed it
// ("C:/PROGRAM FILES/TAVRIN") holds the player as the system reports it.
TEST_F(RegistrySweepTest, AProgramFolderSpelledInAnotherCaseIsTheSameFolder) {
    platform::ProcessHandle probe = StartRegisteredProbe("Ondrix");
    std::string folder = m_program.string();
    for (char& c : folder) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    ASSERT_NE(folder, m_program.string());
    SweepReport report = SweepRegistry(m_registry.string(), folder);
    EXPECT_EQ(report.nStopped, 1);
    EXPECT_EQ(RegistrySize(), 0u);
    EXPECT_TRUE(platform::WaitProcessEnd(probe, 5000));
}
#endif

TEST_F(RegistrySweepTest, PlayerThatClosedItselfLeavesNothingToSweep) {
    platform::ProcessHandle probe = StartRegisteredProbe("Tessiv");
    fs::remove(m_program / "probe_stay");
    ASSERT_TRUE(platform::WaitProcessEnd(probe, 5000));
    EXPECT_EQ(RegistrySize(), 0u);
    RecordingSeam seam;
    EXPECT_EQ(SweepRegistry(m_registry.string()).nDeleted, 0);
    EXPECT_TRUE(seam.m_signals.empty());
}

TEST_F(RegistrySweepTest, MissingOrEmptyRegistryPathDoesNothing) {
    RecordingSeam seam;
    EXPECT_EQ(SweepRegistry("").nDeleted, 0);
    EXPECT_EQ(SweepRegistry((m_program / "missing").string()).nDeleted, 0);
    EXPECT_TRUE(seam.m_signals.empty());
}

}  // namespace

}  // namespace dispatch
