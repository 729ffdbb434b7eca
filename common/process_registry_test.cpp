#include "common/process_registry.h"
#include "common/testing/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/process_control.h"

namespace common {

namespace fs = std::filesystem;

namespace {

class ProcessRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override { m_root = m_temp.Path(); }

    common::test::CTempFolder m_temp;
    fs::path m_root;
};

TEST_F(ProcessRegistryTest, RegisterWritesAnEmptyEntryNamedByPidAndUnregisterRemovesIt) {
    const std::string folder = RegistryFolder(m_root.string());
    // Compared as paths: Windows writes its own separator, the programs write '/'.
    EXPECT_TRUE(fs::path(folder) == m_root / "processid") << folder;
    fs::create_directory(folder);

    const fs::path entry = fs::path(folder) / std::to_string(platform::CurrentProcessId());
    // A stale entry of the same name (an earlier process with this identifier) is truncated.
    std::ofstream(entry) << "stale";
    ASSERT_TRUE(RegisterProcess(folder));
    ASSERT_TRUE(fs::is_regular_file(entry));
    EXPECT_EQ(fs::file_size(entry), 0u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

    EXPECT_TRUE(UnregisterProcess(folder));
    EXPECT_FALSE(fs::exists(entry));
    // Unregistering twice is harmless: the entry is gone either way.
    EXPECT_TRUE(UnregisterProcess(folder));
}

TEST_F(ProcessRegistryTest, MissingFolderIsNeitherCreatedNorRegisteredIn) {
    const std::string folder = RegistryFolder(m_root.string());
    EXPECT_FALSE(RegisterProcess(folder));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(RegisterProcess(""));
    EXPECT_FALSE(UnregisterProcess(""));
}

TEST_F(ProcessRegistryTest, UnregisterLeavesOtherPlayersEntriesAlone) {
    const std::string folder = RegistryFolder(m_root.string());
    fs::create_directory(folder);
    std::ofstream(fs::path(folder) / "12345");
    ASSERT_TRUE(RegisterProcess(folder));
    ASSERT_TRUE(UnregisterProcess(folder));
    EXPECT_TRUE(fs::exists(fs::path(folder) / "12345"));
}

// Registration and Tavrin's sweep agree: the sweep reads no registry folder that is a link,
// so a player never registers through one; and no link is ever written or deleted through.
TEST_F(ProcessRegistryTest, LinksAreNeverFollowedNeitherTheFolderNorTheEntry) {
    const fs::path outside = m_root / "outside";
    fs::create_directory(outside);
    const std::string folder = RegistryFolder(m_root.string());
    if (!common::test::MakeSymlink(outside, folder, true))
        GTEST_SKIP() << common::test::kNoSymlinks;
    EXPECT_FALSE(RegisterProcess(folder));
    EXPECT_TRUE(fs::is_empty(outside));
    std::ofstream(outside / std::to_string(platform::CurrentProcessId())) << "kept";
    UnregisterProcess(folder);
    EXPECT_TRUE(fs::exists(outside / std::to_string(platform::CurrentProcessId())));
    fs::remove(folder);

    // A link named like our identifier: replaced by our own entry, its target untouched.
    fs::create_directory(folder);
    const fs::path victim = outside / "victim";
    std::ofstream(victim) << "victim";
    const fs::path entry = fs::path(folder) / std::to_string(platform::CurrentProcessId());
    ASSERT_TRUE(common::test::MakeSymlink(victim, entry));
    ASSERT_TRUE(RegisterProcess(folder));
    EXPECT_FALSE(fs::is_symlink(entry));
    EXPECT_TRUE(fs::is_regular_file(entry));
    std::ifstream in(victim);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "victim");
    // A folder in the entry's place is not removed: no registration.
    ASSERT_TRUE(UnregisterProcess(folder));
    fs::create_directory(entry);
    EXPECT_FALSE(RegisterProcess(folder));
    EXPECT_TRUE(fs::is_directory(entry));
}

}  // namespace

}  // namespace common
