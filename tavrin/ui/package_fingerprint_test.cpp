// SHA-256 of package files against known digests, read in several steps, and the task that
// hashes beside the import and stops when dropped.
#include "tavrin/ui/package_fingerprint.h"

#include <gtest/gtest.h>

#include "platform/process_output.h"
#include "tavrin/testing/browser_test_support.h"

namespace ui {

namespace {

TEST(PackageFingerprint, MatchesKnownDigestsAcrossReadSteps) {
    browser::test::TempFolder tmp;
    browser::test::WriteFile(tmp.Path() / "empty", "");
    browser::test::WriteFile(tmp.Path() / "abc", "a");
    // Larger than one read step, not a multiple of it.
    std::string bytes;
    for (int i = 0; i < 10000; ++i)
        for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
    browser::test::WriteFile(tmp.Path() / "big", bytes);

    EXPECT_EQ(Sha256OfFile((tmp.Path() / "empty").string()),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256OfFile((tmp.Path() / "abc").string()),
              "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb");
    EXPECT_EQ(Sha256OfFile((tmp.Path() / "big").string()),
              "2350b445eb01b3dc3c68b3e42b5b5678349472e2cbf75539fd75172f931ad1ee");
    EXPECT_EQ(Sha256OfFile((tmp.Path() / "missing").string()), "");
    EXPECT_EQ(Sha256OfFile(tmp.Str()), "");  // a folder is no package file

    std::atomic<bool> stop{true};
    EXPECT_EQ(Sha256OfFile((tmp.Path() / "big").string(), &stop), "");

    {
        CFingerprintTask task((tmp.Path() / "abc").string());
        EXPECT_EQ(task.Get(), "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb");
    }
    browser::test::WriteFile(tmp.Path() / "big", std::string(64 << 20, 'x'));
    // Dropped unfinished (an import that failed): the destructor returns without the hash.
    { CFingerprintTask task((tmp.Path() / "big").string()); }
}

// The printed lines are what sha256sum itself writes, and sha256sum -c accepts them, also for
// paths with a line feed, a carriage return or a backslash.
TEST(PackageFingerprint, LinesAreCheckedBySha256sum) {
    browser::test::TempFolder tmp;
    std::string checks;
    for (const char* name : {"plain x.tar", "new\nline.tar", "back\\slash.tar", "cr\rx.tar",
                             "\\\\n and \\n.tar", "\xB2\xE2.tar"}) {
        SCOPED_TRACE(name);
        const std::string path = (tmp.Path() / name).string();
        browser::test::WriteFile(path, name);
        const std::string line = FingerprintLine(Sha256OfFile(path), path);
        checks += line;
        auto own = platform::RunAndCaptureOutput("/usr/bin/sha256sum", {"sha256sum", path}, 1 << 16,
                                                 30000);
        ASSERT_EQ(own.exitStatus, 0) << own.text;
        EXPECT_EQ(line, own.text);
    }
    browser::test::WriteFile(tmp.Path() / "sums", checks);
    auto check = platform::RunAndCaptureOutput(
        "/usr/bin/sha256sum", {"sha256sum", "-c", (tmp.Path() / "sums").string()}, 1 << 16, 30000);
    EXPECT_EQ(check.exitStatus, 0) << check.text;

    // A changed file fails the check: it reads the paths, not merely the line format.
    browser::test::WriteFile((tmp.Path() / "back\\slash.tar").string(), "changed");
    check = platform::RunAndCaptureOutput(
        "/usr/bin/sha256sum", {"sha256sum", "-c", (tmp.Path() / "sums").string()}, 1 << 16, 30000);
    EXPECT_EQ(check.exitStatus, 1) << check.text;
}

}  // namespace

}  // namespace ui
