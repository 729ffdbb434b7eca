#include "common/testing/temp_folder.h"
#include "platform/single_instance.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/spawn.h"

namespace {

class SingleInstanceTest : public ::testing::Test {
  protected:
    void SetUp() override { m_dir = m_temp.Str(); }
    common::test::CTempFolder m_temp;
    std::string m_dir;
};

TEST_F(SingleInstanceTest, SecondHolderIsRefusedUntilTheFirstReleases) {
    {
        platform::CInstanceLock first(m_dir, "Tavrin.exe");
        ASSERT_EQ(first.GetState(), platform::CInstanceLock::State::kAcquired);
        EXPECT_EQ(first.Path(), m_dir + "/Tavrin.exe.lock");
        platform::CInstanceLock second(m_dir, "Tavrin.exe");
        EXPECT_EQ(second.GetState(), platform::CInstanceLock::State::kHeldElsewhere);
        // A different name is a different marker.
        platform::CInstanceLock other(m_dir, "Morvel.exe");
        EXPECT_EQ(other.GetState(), platform::CInstanceLock::State::kAcquired);
    }
    platform::CInstanceLock again(m_dir, "Tavrin.exe");
    EXPECT_EQ(again.GetState(), platform::CInstanceLock::State::kAcquired);
}

TEST_F(SingleInstanceTest, LockOfAKilledHolderIsGone) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::CInstanceLock lock(m_dir, "Tavrin.exe");
        const char state = lock.GetState() == platform::CInstanceLock::State::kAcquired ? 'y' : 'n';
        if (::write(ready[1], &state, 1) != 1) ::_exit(1);
        ::pause();  // held until killed
        ::_exit(0);
    }
    ::close(ready[1]);
    char state = 0;
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(state, 'y');
    {
        platform::CInstanceLock probe(m_dir, "Tavrin.exe");
        EXPECT_EQ(probe.GetState(), platform::CInstanceLock::State::kHeldElsewhere);
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    platform::CInstanceLock after(m_dir, "Tavrin.exe");
    EXPECT_EQ(after.GetState(), platform::CInstanceLock::State::kAcquired);
}

TEST_F(SingleInstanceTest, ChildProcessesDoNotInheritTheLock) {
    auto lock = std::make_unique<platform::CInstanceLock>(m_dir, "Tavrin.exe");
    ASSERT_EQ(lock->GetState(), platform::CInstanceLock::State::kAcquired);
    // A child that outlives its parent must not keep the next start from running.
    const int pid = platform::SpawnDetached("/bin/sleep", {"sleep", "3"});
    ASSERT_GT(pid, 0);
    lock.reset();
    platform::CInstanceLock after(m_dir, "Tavrin.exe");
    EXPECT_EQ(after.GetState(), platform::CInstanceLock::State::kAcquired);
    ::kill(pid, SIGKILL);
}

TEST_F(SingleInstanceTest, UnusableFolderOrLinkIsReportedNotFollowed) {
    platform::CInstanceLock missing(m_dir + "/absent", "Tavrin.exe");
    EXPECT_EQ(missing.GetState(), platform::CInstanceLock::State::kUnavailable);
    platform::CInstanceLock none("", "Tavrin.exe");
    EXPECT_EQ(none.GetState(), platform::CInstanceLock::State::kUnavailable);

    const std::string target = m_dir + "/elsewhere";
    std::filesystem::create_symlink(target, m_dir + "/Tavrin.exe.lock");
    platform::CInstanceLock linked(m_dir, "Tavrin.exe");
    EXPECT_EQ(linked.GetState(), platform::CInstanceLock::State::kUnavailable);
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(SingleInstanceTest, RuntimeFolderPrefersXdgAndFallsBackToAPrivateTempFolder) {
    const char* oldXdg = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp ? oldTmp : "";

    ::setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
    EXPECT_EQ(platform::UserRuntimeFolder(), m_dir);

    ::setenv("XDG_RUNTIME_DIR", (m_dir + "/absent").c_str(), 1);
    ::setenv("TMPDIR", m_dir.c_str(), 1);
    const std::string fallback = m_dir + "/tavrin-" + std::to_string(::getuid());
    EXPECT_EQ(platform::UserRuntimeFolder(), fallback);
    EXPECT_TRUE(std::filesystem::is_directory(fallback));
    // A folder others may write to is not trusted.
    std::filesystem::permissions(fallback, std::filesystem::perms::all);
    EXPECT_EQ(platform::UserRuntimeFolder(), "");

    oldXdg ? ::setenv("XDG_RUNTIME_DIR", savedXdg.c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
    oldTmp ? ::setenv("TMPDIR", savedTmp.c_str(), 1) : ::unsetenv("TMPDIR");
}

}  // namespace
