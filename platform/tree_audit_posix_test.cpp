#include "common/testing/temp_folder.h"
#include "platform/tree_audit.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "platform/test_file_limit.h"

namespace fs = std::filesystem;

namespace {

class TreeAuditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_base = m_temp.Path();
        fs::create_directories(m_base / "work" / "a" / "b");
        fs::create_directories(m_base / "outside");
        Write(m_base / "outside" / "secret.txt", "secret");
        Write(m_base / "work" / "a" / "b" / "data.bak", "data");
        m_work = (m_base / "work").string();
    }
    static void Write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::map<std::string, platform::EUnsafeEntry> Removed(const platform::STreeAudit& audit) {
        std::map<std::string, platform::EUnsafeEntry> names;
        for (const auto& e : audit.removed) names[e.strPath] = e.eKind;
        return names;
    }
    void ExpectOutsideIntact() {
        std::ifstream in(m_base / "outside" / "secret.txt");
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text, "secret");
    }
    fs::path Work(const std::string& rel) const { return m_base / "work" / rel; }

    common::test::CTempFolder m_temp;
    fs::path m_base;
    std::string m_work;
};

TEST_F(TreeAuditTest, ADeepTreeIsWalkedWholeUnderALowOpenFileLimit) {
    // 1,500 nested folders: more levels than descriptors, a link out and one inside at the bottom.
    const std::string outside = (m_base / "outside" / "secret.txt").string();
    std::string rel = "deep";
    ASSERT_TRUE(platform::test::MakeNestedFolders(m_work, "deep", 1, [](int, int) {}));
    ASSERT_TRUE(
        platform::test::MakeNestedFolders(m_work + "/deep", "d", 1500, [&](int fd, int level) {
            rel += "/d";
            if (level < 1500) return;
            close(openat(fd, "file.txt", O_WRONLY | O_CREAT, 0600));
            EXPECT_EQ(symlinkat(outside.c_str(), fd, "out"), 0);
            EXPECT_EQ(symlinkat("file.txt", fd, "in"), 0);
        }));
    platform::STreeAudit audit;
    {
        platform::test::CLowFileLimit limit(32);
        ASSERT_TRUE(limit.Lowered());
        audit = platform::RemoveUnsafeEntries(m_work);
    }
    EXPECT_TRUE(audit.bComplete);
    EXPECT_EQ(Removed(audit), (std::map<std::string, platform::EUnsafeEntry>{
                                  {rel + "/out", platform::EUnsafeEntry::kLinkOutside}}));
    struct stat st;
    EXPECT_EQ(fstatat(AT_FDCWD, (m_work + "/" + rel + "/in").c_str(), &st, AT_SYMLINK_NOFOLLOW), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ExpectOutsideIntact();
}

TEST_F(TreeAuditTest, LinksLeadingOutAreRemovedAndLinksStayingInsideKept) {
    const std::string outside = (m_base / "outside" / "secret.txt").string();
    fs::create_symlink(outside, Work("abs_out"));
    fs::create_symlink("../../../outside/secret.txt", Work("a/b/rel_out"));
    fs::create_symlink("../..", Work("a/b/to_root"));        // the work folder itself
    fs::create_symlink("../../..", Work("a/b/above_root"));  // its parent
    fs::create_symlink("b/data.bak", Work("a/in_rel"));
    fs::create_symlink((fs::canonical(m_work) / "a").string(), Work("abs_in"));
    fs::create_symlink("a/b/missing", Work("dangling_in"));
    fs::create_symlink("/nonexistent/elsewhere", Work("dangling_out"));
    // A chain: each hop looks harmless on its own, the last one leaves.
    fs::create_symlink("hop1", Work("chain"));
    fs::create_symlink("a/hop2", Work("hop1"));
    fs::create_symlink("../../outside", Work("a/hop2"));
    // Resolved as the system does: "deep" is a/b, so deep/../.. is the work folder and one
    // more ".." leaves it, although the text "deep/../../.." reads as only one level up.
    fs::create_symlink("a/b", Work("deep"));
    fs::create_symlink("deep/../../..", Work("via_link_up"));
    fs::create_symlink("deep/../..", Work("via_link_root"));
    // Loops never end: treated as leading out. Links are judged on the tree as unpacked, so
    // removing one link of a chain or loop does not save the others.
    fs::create_symlink("loop2", Work("loop1"));
    fs::create_symlink("loop1", Work("loop2"));

    platform::STreeAudit audit = platform::RemoveUnsafeEntries(m_work);
    EXPECT_TRUE(audit.bComplete);
    auto removed = Removed(audit);
    std::set<std::string> names;
    for (auto& [name, kind] : removed) {
        names.insert(name);
        EXPECT_EQ(kind, name == "dangling_in" ? platform::EUnsafeEntry::kLinkNowhere
                                              : platform::EUnsafeEntry::kLinkOutside)
            << name;
    }
    EXPECT_EQ(names, (std::set<std::string>{"abs_out", "a/b/rel_out", "a/b/above_root",
                                            "dangling_out", "dangling_in", "chain", "hop1",
                                            "a/hop2", "via_link_up", "loop1", "loop2"}));
    for (const char* kept :
         {"a/b/to_root", "a/in_rel", "abs_in", "deep", "via_link_root", "a/b/data.bak"}) {
        EXPECT_TRUE(fs::is_symlink(Work(kept)) || fs::is_regular_file(Work(kept))) << kept;
    }
    ExpectOutsideIntact();
}

TEST_F(TreeAuditTest, LinkCheckAloneResolvesAgainstTheTreeOnDisk) {
    fs::create_symlink("a/b", Work("deep"));
    EXPECT_FALSE(platform::LinkLeadsOutside(m_work, "x", "deep/.."));
    EXPECT_TRUE(platform::LinkLeadsOutside(m_work, "x", "deep/../../.."));
    EXPECT_TRUE(platform::LinkLeadsOutside(m_work, "a/x", "../.."));
    EXPECT_FALSE(platform::LinkLeadsOutside(m_work, "a/x", ".."));
    EXPECT_TRUE(platform::LinkLeadsOutside(m_work, "x", "/etc/passwd"));
    // A sibling folder whose name begins with the work folder's is still outside.
    EXPECT_TRUE(platform::LinkLeadsOutside(m_work, "x", m_work + "_other/file"));
}

TEST_F(TreeAuditTest, HardLinksAndSpecialFilesAreRemoved) {
    fs::create_hard_link(m_base / "outside" / "secret.txt", Work("a/hard_out"));
    Write(Work("a/one"), "one");
    fs::create_hard_link(Work("a/one"), Work("a/two"));  // two names inside
    ASSERT_EQ(mkfifo(Work("a/b/fifo").c_str(), 0644), 0);
    int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string sockPath = Work("s").string();
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::copy(sockPath.begin(), sockPath.end(), addr.sun_path);
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(sock);
    bool devices = mknod(Work("zero").c_str(), S_IFCHR | 0644, makedev(1, 5)) == 0;

    platform::STreeAudit audit = platform::RemoveUnsafeEntries(m_work);
    auto removed = Removed(audit);
    EXPECT_EQ(removed["a/hard_out"], platform::EUnsafeEntry::kHardLink);
    EXPECT_EQ(removed["a/b/fifo"], platform::EUnsafeEntry::kFifo);
    EXPECT_EQ(removed["s"], platform::EUnsafeEntry::kSocket);
    if (devices) {
        EXPECT_EQ(removed["zero"], platform::EUnsafeEntry::kDevice);
    }
    // Of two names inside, the first one found goes; the other is then the file's only name.
    EXPECT_EQ(removed.count("a/one") + removed.count("a/two"), 1u);
    EXPECT_TRUE(fs::exists(Work("a/one")) != fs::exists(Work("a/two")));
    EXPECT_EQ(removed.size(), devices ? 5u : 4u);
    ExpectOutsideIntact();
    EXPECT_EQ(fs::hard_link_count(m_base / "outside" / "secret.txt"), 1u);
}

TEST_F(TreeAuditTest, NamesAreBytesAndLockedFoldersAreStillWalked) {
    // GBK names: kept when harmless, reported with their bytes when removed.
    const std::string gbkFile = "\xB2\xE2\xCA\xD4.txt";  // 测试.txt
    const std::string gbkLink = "\xC1\xB4\xBD\xD3";      // 链接
    Write(Work(gbkFile), "gbk");
    fs::create_symlink((m_base / "outside").string(), Work("a/" + gbkLink));
    // A folder without any permission, holding a FIFO; a set-user-ID file.
    fs::create_directories(Work("locked"));
    ASSERT_EQ(mkfifo(Work("locked/fifo").c_str(), 0644), 0);
    ASSERT_EQ(chmod(Work("locked").c_str(), 0), 0);
    Write(Work("suid"), "x");
    ASSERT_EQ(chmod(Work("suid").c_str(), 04755), 0);

    platform::STreeAudit audit = platform::RemoveUnsafeEntries(m_work);
    EXPECT_TRUE(audit.bComplete);
    auto removed = Removed(audit);
    EXPECT_EQ(removed.count("a/" + gbkLink), 1u);
    EXPECT_EQ(removed.count("locked/fifo"), 1u);
    EXPECT_TRUE(fs::is_regular_file(Work(gbkFile)));
    struct stat st;
    ASSERT_EQ(stat(Work("suid").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    ASSERT_EQ(stat(Work("locked").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IRWXU, static_cast<unsigned>(S_IRWXU));
}

TEST_F(TreeAuditTest, RootMustBeARealFolder) {
    fs::create_symlink(m_work, m_base / "link_to_work");
    platform::STreeAudit audit = platform::RemoveUnsafeEntries((m_base / "link_to_work").string());
    EXPECT_FALSE(audit.bComplete);
    EXPECT_TRUE(audit.removed.empty());
    EXPECT_FALSE(platform::IsRealFolder((m_base / "link_to_work").string()));
    EXPECT_TRUE(platform::IsRealFolder(m_work));
    EXPECT_FALSE(platform::IsRealFolder((m_base / "missing").string()));
}

}  // namespace
