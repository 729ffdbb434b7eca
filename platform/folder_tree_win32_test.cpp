// Windows behaviour of the file services: attributes that refuse a deletion, reparse points
// (junctions, symbolic links) that must never be followed, names that try to leave a folder.
#include <windows.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "common/testing/temp_folder.h"
#include "platform/bounded_read.h"
#include "platform/file_io.h"
#include "platform/folder_tree.h"
#include "platform/paths.h"
#include "platform/tree_audit.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Makes a symbolic link; false when the system refuses (no privilege, or Wine without
// reparse points), so the test can say it was skipped.
bool MakeLink(const fs::path& link, const fs::path& target, bool folder) {
    const DWORD flags =
        (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (!CreateSymbolicLinkW(link.wstring().c_str(), target.wstring().c_str(), flags)) return false;
    const DWORD attributes = GetFileAttributesW(link.wstring().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

class FileServicesWin32 : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(m_temp.Path() / "work" / "a" / "b");
        fs::create_directories(m_temp.Path() / "outside");
        Write(m_temp.Path() / "outside" / "secret.txt", "secret");
        Write(m_temp.Path() / "work" / "a" / "b" / "data.bak", "line 1\nline 2\nlast");
        m_work = (m_temp.Path() / "work").string();
    }
    void TearDown() override {
        // Attributes a test set would keep the temporary folder's own removal from working.
        for (auto& e : fs::recursive_directory_iterator(m_temp.Path(), m_ec))
            SetFileAttributesW(e.path().wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::path Work(const std::string& rel) const { return m_temp.Path() / "work" / rel; }
    std::error_code m_ec;
    common::test::CTempFolder m_temp{"file_services_win32_test."};
    std::string m_work;
};

TEST_F(FileServicesWin32, ReadOnlyHiddenAndSystemEntriesAreDeletedWithTheTree) {
    Write(Work("a/readonly.txt"), "r");
    Write(Work("a/b/hidden.txt"), "h");
    SetFileAttributesW(Work("a/readonly.txt").wstring().c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(Work("a/b/hidden.txt").wstring().c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(Work("a").wstring().c_str(),
                       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(platform::DeleteFolderTree(m_work));
    EXPECT_FALSE(fs::exists(m_work));
    EXPECT_EQ(Read(m_temp.Path() / "outside" / "secret.txt"), "secret");
    EXPECT_FALSE(platform::DeleteFolderTree(m_work));  // already gone: nothing was removed
    EXPECT_TRUE(platform::DeleteFolderTree(""));
}

TEST_F(FileServicesWin32, SingleEntriesAreMadeWritableAndDeletedAsFiles) {
    Write(Work("ro.txt"), "r");
    SetFileAttributesW(Work("ro.txt").wstring().c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(platform::MakeEntryWritable(Work("ro.txt").string()));
    EXPECT_FALSE(GetFileAttributesW(Work("ro.txt").wstring().c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(Work("ro.txt").wstring().c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(platform::DeleteFileEntry(Work("ro.txt").string()));
    EXPECT_FALSE(fs::exists(Work("ro.txt")));
    EXPECT_FALSE(platform::DeleteFileEntry(Work("a").string()));  // a real folder stays
    EXPECT_TRUE(fs::exists(Work("a")));
}

TEST_F(FileServicesWin32, LinksInsideATreeAreRemovedNeverFollowed) {
    if (!MakeLink(Work("a/to_outside"), m_temp.Path() / "outside", true) ||
        !MakeLink(Work("file_link"), m_temp.Path() / "outside" / "secret.txt", false))
        GTEST_SKIP() << "this system makes no symbolic links here (privilege or Wine)";
    EXPECT_TRUE(platform::FolderEntries(Work("a/to_outside").string()).empty());
    EXPECT_FALSE(platform::IsRealFolder(Work("a/to_outside").string()));
    EXPECT_TRUE(platform::DeleteFolderTree(m_work));
    EXPECT_EQ(Read(m_temp.Path() / "outside" / "secret.txt"), "secret");
}

TEST_F(FileServicesWin32, BoundedReadStaysBeneathTheRootAndReadsOnlyFiles) {
    platform::CBoundedFile file;
    ASSERT_TRUE(file.OpenBeneath(m_work, "/a/b/data.bak"));
    EXPECT_EQ(file.Size(), 18u);
    char buffer[64];
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 18);
    EXPECT_EQ(platform::CountLinesBeneath(m_work, "a/b/data.bak"), 3u);
    EXPECT_EQ(platform::FileSizeBeneath(m_work, "a\\b\\data.bak"), 18u);
    // Every way out of the root, Windows' own included: either separator, a drive, a stream.
    for (const char* escape :
         {"../outside/secret.txt", "a/../../outside/secret.txt", "a\\..\\..\\outside\\secret.txt",
          "a/b\\..\\..\\../outside/secret.txt", "C:/Windows/win.ini", "C:secret.txt",
          "a/b/data.bak:stream", "a", "", "/", "a/b/data.bak/"}) {
        EXPECT_FALSE(platform::CanReadBeneath(m_work, escape)) << escape;
    }
    EXPECT_FALSE(platform::CanReadBeneath(m_work, std::string("a/b/data.bak\0x", 14)));
    if (MakeLink(Work("a/link.bak"), Work("a/b/data.bak"), false)) {
        EXPECT_FALSE(platform::CanReadBeneath(m_work, "a/link.bak"));  // not even inside
    }
}

TEST_F(FileServicesWin32, ReaderAndWriterRefuseWhatIsNotAPlainFile) {
    platform::CFileReader reader;
    EXPECT_FALSE(reader.Open(Work("a").string()));
    EXPECT_EQ(reader.ErrorCode(), EISDIR);
    EXPECT_FALSE(reader.Open(Work("absent").string()));
    EXPECT_EQ(reader.ErrorCode(), ENOENT);
    EXPECT_FALSE(reader.Open("\\\\.\\pipe\\tavrin-no-such-pipe"));

    platform::CFileWriter writer;
    EXPECT_FALSE(writer.Create(Work("a").string()));
    Write(Work("old.txt"), "a longer old text");
    ASSERT_TRUE(writer.Create(Work("old.txt").string()));
    ASSERT_TRUE(writer.Write("new"));
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ(Read(Work("old.txt")), "new");  // emptied, then written
    EXPECT_TRUE(platform::IsSameFile(Work("old.txt").string(), m_work + "\\old.txt"));
    EXPECT_FALSE(platform::IsSameFile(Work("old.txt").string(), Work("a/b/data.bak").string()));

    if (MakeLink(Work("planted.txt"), m_temp.Path() / "outside" / "secret.txt", false)) {
        EXPECT_FALSE(writer.Create(Work("planted.txt").string()));
        EXPECT_EQ(Read(m_temp.Path() / "outside" / "secret.txt"), "secret");
    }
}

TEST_F(FileServicesWin32, UnpackAuditRemovesHardLinksAndJudgesLinks) {
    ASSERT_TRUE(CreateHardLinkW(Work("a/hard.bak").wstring().c_str(),
                                (m_temp.Path() / "outside" / "secret.txt").wstring().c_str(),
                                nullptr));
    SetFileAttributesW(Work("a").wstring().c_str(), FILE_ATTRIBUTE_READONLY);
    platform::STreeAudit audit = platform::RemoveUnsafeEntries(m_work);
    EXPECT_TRUE(audit.bComplete);
    ASSERT_EQ(audit.removed.size(), 1u);
    EXPECT_EQ(audit.removed[0].strPath, "a/hard.bak");
    EXPECT_EQ(audit.removed[0].eKind, platform::EUnsafeEntry::kHardLink);
    EXPECT_EQ(Read(m_temp.Path() / "outside" / "secret.txt"), "secret");
    EXPECT_TRUE(fs::exists(Work("a/b/data.bak")));

    EXPECT_TRUE(platform::LinkLeadsOutside(m_work, "a/l", "../../outside"));
    EXPECT_TRUE(platform::LinkLeadsOutside(m_work, "a/l", "C:\\Windows"));
    EXPECT_FALSE(platform::LinkLeadsOutside(m_work, "a/l", "b\\data.bak"));
    EXPECT_FALSE(platform::LinkLeadsOutside(m_work, "a/l", "../a/b"));

    if (!MakeLink(Work("a/out"), m_temp.Path() / "outside", true) ||
        !MakeLink(Work("a/in"), Work("a/b"), true) ||
        !MakeLink(Work("a/none"), Work("a/missing"), false))
        GTEST_SKIP() << "this system makes no symbolic links here (privilege or Wine)";
    audit = platform::RemoveUnsafeEntries(m_work);
    EXPECT_TRUE(audit.bComplete);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Work("a/out"))));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Work("a/none"))));
    EXPECT_TRUE(fs::exists(fs::symlink_status(Work("a/in"))));
    EXPECT_TRUE(fs::exists(m_temp.Path() / "outside" / "secret.txt"));
}

TEST_F(FileServicesWin32, UnpackAuditNeedsARealRoot) {
    EXPECT_FALSE(platform::RemoveUnsafeEntries(Work("absent").string()).bComplete);
    EXPECT_FALSE(platform::RemoveUnsafeEntries(Work("a/b/data.bak").string()).bComplete);
    EXPECT_TRUE(platform::IsRealFolder(m_work));
}

}  // namespace
