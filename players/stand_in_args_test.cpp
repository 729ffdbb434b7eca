#include "players/stand_in_args.h"
#include "common/testing/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

TEST(StandInArgs, FieldsOfTheCommandLinesTavrinWrites) {
    char name[] = "OndrixS", a[] = "~/V/P/var/utm/data/sessions/s9", b[] = "~100", c[] = "~30";
    char* argv[] = {name, a, b, c};
    const std::string text = JoinArguments(4, argv);
    EXPECT_EQ(text, "~/V/P/var/utm/data/sessions/s9 ~100 ~30");
    EXPECT_EQ(SplitTildeFields(text),
              (std::vector<std::string>{"/V/P/var/utm/data/sessions/s9", "100", "30"}));
    // A blank inside a path stays inside its field; an empty field is kept.
    EXPECT_EQ(SplitTildeFields("~/a b/c ~ ~x"), (std::vector<std::string>{"/a b/c", "", "x"}));
    // Fennic's argument is a path without "~".
    EXPECT_EQ(SplitTildeFields("/V/P/x y"), (std::vector<std::string>{"/V/P/x y"}));
    EXPECT_TRUE(SplitTildeFields("").empty());

    EXPECT_EQ(ShownFile("Fennic", {"/V/f"}), "/V/f");
    EXPECT_EQ(ShownFile("OndrixS", {"/V/s9", "100", "30"}), "/V/s9");
    EXPECT_EQ(ShownFile("Tessiv", {"/V/P/Pchild.db", "k"}), "");
    EXPECT_EQ(ShownFile("Fennic", {}), "");
}

TEST(StandInArgs, TextLinesAndPages) {
    common::test::CTempFolder temp;
    const fs::path file = temp.Path() / "stand_in_args_test.txt";
    std::ofstream(file, std::ios::binary) << "one\r\ntwo\n\nfour";
    std::vector<std::string> lines;
    bool truncated = true;
    ASSERT_TRUE(ReadTextLines(file.string(), lines, &truncated));
    EXPECT_FALSE(truncated);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", "four"}));
    ASSERT_TRUE(ReadTextLines(file.string(), lines, &truncated, 6));
    EXPECT_TRUE(truncated);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "t"}));
    fs::remove(file);
    EXPECT_FALSE(ReadTextLines(file.string(), lines, &truncated));

    std::vector<std::string> many;
    for (int i = 0; i < 51; ++i) many.push_back(std::to_string(i));
    EXPECT_EQ(PageCount(0, 25), 1);
    EXPECT_EQ(PageCount(50, 25), 2);
    EXPECT_EQ(PageCount(51, 25), 3);
    EXPECT_EQ(PageLines(many, 3, 25), (std::vector<std::string>{"50"}));
    EXPECT_EQ(PageLines(many, 1, 25).front(), "0");
    EXPECT_EQ(PageLines(many, 99, 25), (std::vector<std::string>{"50"}));  // clamped
    EXPECT_EQ(PageLines(many, 0, 25).size(), 25u);
}

}  // namespace
