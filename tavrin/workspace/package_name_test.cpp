#include "tavrin/workspace/package_name.h"

#include <gtest/gtest.h>

namespace workspace {

namespace {

TEST(PackageName, WellFormedFileNamesGiveNameDatesAndKind) {
    PackageName p = PackageNameFromFile("/home/u/pkgs/a_log_2016-09-01_2016-09-10.tar");
    EXPECT_EQ(p.strName, "a_log_2016-09-01_2016-09-10");
    EXPECT_EQ(p.strHead, "a_log_2016-09-01");
    EXPECT_EQ(p.strStartDate, "2016-09-01");
    EXPECT_EQ(p.strEndDate, "2016-09-10");
    EXPECT_EQ(p.strKind, "log");

    // The kind is the field after the first "_", whatever stands between it and the dates.
    EXPECT_EQ(PackageNameFromFile("a_b_log_2016-09-01_2016-09-10.tar").strKind, "b");
    EXPECT_EQ(PackageNameFromFile("a_web_2016-09-01_2016-09-10.tar").strKind, "web");
}

TEST(PackageName, MissingSeparatorsCountAsPositionMinusOne) {
    // No "_" at all: "after" gives the whole text, "before" gives nothing.
    PackageName none = SplitPackageName("plain");
    EXPECT_EQ(none.strEndDate, "plain");
    EXPECT_EQ(none.strHead, "");
    EXPECT_EQ(none.strStartDate, "");
    EXPECT_EQ(none.strKind, "");

    // One "_": the head has none, so it is its own start date and there is no kind.
    PackageName one = SplitPackageName("x_2016-09-10");
    EXPECT_EQ(one.strHead, "x");
    EXPECT_EQ(one.strStartDate, "x");
    EXPECT_EQ(one.strEndDate, "2016-09-10");
    EXPECT_EQ(one.strKind, "");

    // Two "_": the head "p_s" has a prefix but no "_" after the kind field.
    PackageName two = SplitPackageName("p_s_e");
    EXPECT_EQ(two.strStartDate, "s");
    EXPECT_EQ(two.strKind, "");

    // Empty fields between separators stay empty.
    PackageName empty = SplitPackageName("a__s_e");
    EXPECT_EQ(empty.strKind, "");
    EXPECT_EQ(empty.strStartDate, "s");
}

TEST(PackageName, TheLastFourCharactersAreDroppedNotBytes) {
    EXPECT_EQ(PackageNameFromFile("p_k_s_e.tar").strName, "p_k_s_e");
    EXPECT_EQ(PackageNameFromFile("p_k_s_e.TAR").strName, "p_k_s_e");
    // A name ending in Chinese characters loses four characters, not four bytes.
    EXPECT_EQ(PackageNameFromFile("包_k_s_e审计日志包").strName, "包_k_s_e审");
    EXPECT_EQ(PackageNameFromFile(".tar").strName, "");
    EXPECT_EQ(PackageNameFromFile("ab").strName, "");
    EXPECT_EQ(PackageNameFromFile("/dir/").strName, "");
}

TEST(PackageName, OnlySafeNamesMayBecomeWorkFolders) {
    EXPECT_TRUE(IsUsablePackageName("a_log_2016-09-01_2016-09-10"));
    EXPECT_TRUE(IsUsablePackageName("*_log_x_y"));
    EXPECT_TRUE(IsUsablePackageName("..a"));
    EXPECT_FALSE(IsUsablePackageName(""));
    EXPECT_FALSE(IsUsablePackageName("."));
    EXPECT_FALSE(IsUsablePackageName(".."));
    EXPECT_FALSE(IsUsablePackageName("a/b"));
    EXPECT_FALSE(IsUsablePackageName(std::string_view("a\0b", 3)));
    // ".tar" alone leaves nothing to name a folder with.
    EXPECT_FALSE(IsUsablePackageName(PackageNameFromFile("/x/.tar").strName));

    // What the program folder needs is never a work folder, in any spelling.
    for (const char* name : {"processid", "7z", "table.sql", "chinese.rcc", "Morvel_en.rcc",
                             "Tavrin", "OndrixS", "tavrin-import", "ProcessID", "TABLE.SQL"})
        EXPECT_FALSE(IsUsablePackageName(name)) << name;
    EXPECT_TRUE(IsUsablePackageName("processid_log_x_y"));
    EXPECT_TRUE(IsUsablePackageName("7z_"));
    // Its longest file, "{name}Parent.db-journal", must fit in 255 bytes.
    EXPECT_TRUE(IsUsablePackageName(std::string(238, 'a')));
    EXPECT_FALSE(IsUsablePackageName(std::string(239, 'a')));
}

}  // namespace

}  // namespace workspace
