#include "tavrin/import/archive_extractor.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "tavrin/testing/import_test_util.h"

namespace package_import {

namespace {

using package_import::test::CTempFolder;
using package_import::test::ReadFile;
using package_import::test::WriteFile;

std::string Archiver() {
    return Make7zCommand(TAVRIN_TEST_PROGRAM_DIR);
}

TEST(ArchiverCommand, QuotesThePathsAndFixesTheSwitches) {
    EXPECT_EQ(Make7zCommand("/opt/viewer"), "\"/opt/viewer/7z\"");
    EXPECT_EQ(ArchiverProgram("\"/opt/my viewer/7z\""), "/opt/my viewer/7z");
    EXPECT_EQ(ArchiverProgram("/opt/7z"), "/opt/7z");
    EXPECT_EQ(ArchiverCommandLine("\"/v/7z\"", "/in/a b.tar", "/v/a b"),
              "\"/v/7z\" x -ttar -y -spd -spod \"/in/a b.tar\" -o\"/v/a b\"");
    EXPECT_EQ(ArchiverArguments("/in/a.tar", "/v/a"),
              (std::vector<std::string>{"7z", "x", "-ttar", "-y", "-spd", "-spod", "/in/a.tar",
                                        "-o/v/a"}));
    // A relative name that looks like a switch is not taken for one.
    EXPECT_EQ(ArchiverArguments("-r.tar", "/v/a")[6], "./-r.tar");
}

TEST(RunArchiver, UnpacksWithFullPathsIntoANewFolderAndPrintsTheCommand) {
    CTempFolder tmp;
    WriteFile(tmp / "src/var/tmp/one.bak", "1\tx\n");
    WriteFile(tmp / "src/var/utm/data/sessions/s1", "line\n");
    std::string archive = tmp / "pkg with space.tar";
    ASSERT_TRUE(package_import::test::MakeTar(archive, tmp / "src", {"var"}));

    std::string out = tmp / "out folder";
    testing::internal::CaptureStdout();
    ArchiverResult r = RunArchiver(Archiver(), archive, out);
    std::string console = testing::internal::GetCapturedStdout();

    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.Succeeded());
    EXPECT_EQ(ReadFile(out + "/var/tmp/one.bak"), "1\tx\n");
    EXPECT_EQ(ReadFile(out + "/var/utm/data/sessions/s1"), "line\n");
    std::string expectedHead =
        ArchiverCommandLine(Archiver(), archive, out) + "\n" + ArchiverProgram(Archiver()) + "\n";
    EXPECT_EQ(console.substr(0, expectedHead.size()), expectedHead);
    // 进程1退出！ closes the run.
    EXPECT_NE(console.find("\xBD\xF8\xB3\xCC"
                           "1"
                           "\xCD\xCB\xB3\xF6\xA3\xA1"),
              std::string::npos);
}

// One run may unpack only some entries, or all but some: names are paths inside the archive,
// taken literally (a star matches no other entry), and a name stored twice is one entry.
TEST(RunArchiver, UnpacksOnlyOrAllButTheNamedEntries) {
    CTempFolder tmp;
    WriteFile(tmp / "src/var/d/first.bak", "1");
    WriteFile(tmp / "src/var/d/f*.bak", "star");
    WriteFile(tmp / "src/var/d/second.bak", "2");
    WriteFile(tmp / "src/var/s/session", "s");
    std::string archive = tmp / "pkg.tar";
    ASSERT_TRUE(package_import::test::MakeTar(archive, tmp / "src", {"var"}));
    WriteFile(tmp / "again/var/d/first.bak", "1 again");
    ASSERT_TRUE(package_import::test::MakeTar(archive, tmp / "again", {"var/d/first.bak"}, true));

    SArchiveEntries only{{"var/d/f*.bak"}, {}};
    SArchiveEntries except{{}, {"var/d/f*.bak", "var/d/first.bak"}};
    EXPECT_EQ(
        ArchiverArguments("/in/a.tar", "/v/a", except),
        (std::vector<std::string>{"7z", "x", "-ttar", "-y", "-spd", "-spod", "-x!var/d/f*.bak",
                                  "-x!var/d/first.bak", "/in/a.tar", "-o/v/a"}));
    EXPECT_EQ(ArchiverCommandLine("\"/v/7z\"", "/in/a.tar", "/v/a", only),
              "\"/v/7z\" x -ttar -y -spd -spod \"/in/a.tar\" -o\"/v/a\" \"var/d/f*.bak\"");

    testing::internal::CaptureStdout();
    ArchiverResult first = RunArchiver(Archiver(), archive, tmp / "one", only);
    ArchiverResult rest = RunArchiver(Archiver(), archive, tmp / "rest", except);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(first.Succeeded());
    EXPECT_TRUE(rest.Succeeded());
    EXPECT_EQ(ReadFile(tmp / "one/var/d/f*.bak"), "star");
    EXPECT_FALSE(std::filesystem::exists(tmp / "one/var/d/first.bak"));
    EXPECT_FALSE(std::filesystem::exists(tmp / "one/var/s"));
    EXPECT_FALSE(std::filesystem::exists(tmp / "rest/var/d/f*.bak"));
    EXPECT_FALSE(std::filesystem::exists(tmp / "rest/var/d/first.bak"));  // neither copy
    EXPECT_EQ(ReadFile(tmp / "rest/var/d/second.bak"), "2");
    EXPECT_EQ(ReadFile(tmp / "rest/var/s/session"), "s");
}

TEST(RunArchiver, TakesStarsLiterallyInBothPaths) {
    CTempFolder tmp;
    WriteFile(tmp / "a/fromA.bak", "A");
    WriteFile(tmp / "b/fromB.bak", "B");
    ASSERT_TRUE(package_import::test::MakeTar(tmp / "x_*.tar", tmp / "a", {"fromA.bak"}));
    ASSERT_TRUE(package_import::test::MakeTar(tmp / "x_other.tar", tmp / "b", {"fromB.bak"}));

    std::string out = tmp / "work_*";
    testing::internal::CaptureStdout();
    ArchiverResult r = RunArchiver(Archiver(), tmp / "x_*.tar", out);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(r.Succeeded());
    EXPECT_EQ(ReadFile(out + "/fromA.bak"), "A");
    // Neither the other archive matched as a wildcard nor a folder named after the archive.
    EXPECT_FALSE(std::filesystem::exists(out + "/fromB.bak"));
    EXPECT_FALSE(std::filesystem::exists(tmp / "work_x_*"));
    EXPECT_FALSE(std::filesystem::exists(tmp / "work_x_other"));
}

TEST(RunArchiver, NeverAsksAboutADuplicateEntry) {
    CTempFolder tmp;
    WriteFile(tmp / "src/dup.bak", "first");
    std::string archive = tmp / "dup.tar";
    ASSERT_TRUE(package_import::test::MakeTar(archive, tmp / "src", {"dup.bak"}));
    WriteFile(tmp / "src/dup.bak", "second");
    ASSERT_TRUE(package_import::test::MakeTar(archive, tmp / "src", {"dup.bak"}, /*append=*/true));
    WriteFile(tmp / "src/after.bak", "after");
    ASSERT_TRUE(package_import::test::MakeTar(archive, tmp / "src", {"after.bak"}, true));

    testing::internal::CaptureStdout();
    ArchiverResult r = RunArchiver(Archiver(), archive, tmp / "out");
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(r.started);
    EXPECT_EQ(ReadFile(tmp / "out/after.bak"), "after");  // it went on to the end
    EXPECT_EQ(ReadFile(tmp / "out/dup.bak"), "second");
}

TEST(RunArchiver, ReportsFailureForAnythingButATar) {
    CTempFolder tmp;
    WriteFile(tmp / "src/inner.bak", "zip content");
    // A ZIP archive renamed .tar, made by the same archiver.
    auto zipped = platform::SpawnAndWait(
        ArchiverProgram(Archiver()),
        {"7z", "a", "-tzip", "-bso0", "-bsp0", tmp / "fake.tar", tmp / "src/inner.bak"});
    ASSERT_TRUE(zipped.started);
    ASSERT_EQ(zipped.exitStatus, 0);
    WriteFile(tmp / "garbage.tar", std::string(3000, '\x5a'));

    for (const char* name : {"fake.tar", "garbage.tar"}) {
        std::string out = tmp / (std::string("out_") + name);
        testing::internal::CaptureStdout();
        ArchiverResult r = RunArchiver(Archiver(), tmp / name, out);
        testing::internal::GetCapturedStdout();
        EXPECT_TRUE(r.started) << name;
        EXPECT_FALSE(r.Succeeded()) << name;
        EXPECT_NE(r.exitStatus, 0) << name;
        EXPECT_FALSE(std::filesystem::exists(out + "/inner.bak")) << name;
    }

    testing::internal::CaptureStdout();
    ArchiverResult missing = RunArchiver(Archiver(), tmp / "no_such.tar", tmp / "out_missing");
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(missing.started);
    EXPECT_FALSE(missing.Succeeded());
}

TEST(RunArchiver, SaysSoWhenTheArchiverCannotBeStarted) {
    CTempFolder tmp;
    testing::internal::CaptureStdout();
    ArchiverResult r = RunArchiver(Make7zCommand(tmp.Path()), tmp / "a.tar", tmp / "out");
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(r.started);
    EXPECT_FALSE(r.Succeeded());
    EXPECT_EQ(r.errorCode, ENOENT);
    // 运行失败！%d\n with the error code.
    EXPECT_NE(
        console.find("\xD4\xCB\xD0\xD0\xCA\xA7\xB0\xDC\xA3\xA1" + std::to_string(ENOENT) + "\n"),
        std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(tmp / "out"));
}

}  // namespace

}  // namespace package_import
