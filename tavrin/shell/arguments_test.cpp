#include "tavrin/shell/arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tavrin/shell/shell_test_support.h"

namespace shell {

namespace {

std::vector<std::string> split(std::string text) {
    char* azArg[kMaxArguments];
    int n = splitArguments(text.data(), azArg);
    return std::vector<std::string>(azArg, azArg + n);
}

TEST(SplitArguments, QuotingDecidesWhereArgumentsEndAndWhichGetEscapes) {
    EXPECT_EQ(split("  import  a.txt\tt1  "), (std::vector<std::string>{"import", "a.txt", "t1"}));
    // Double quotes keep blanks and resolve escapes; apostrophes keep backslashes as typed.
    EXPECT_EQ(split("separator \"a b\\t\" 'c\\td' e\\nf"),
              (std::vector<std::string>{"separator", "a b\t", "c\\td", "e\nf"}));
    // An unclosed quote runs to the end of the line; a quote inside a word is just a byte.
    EXPECT_EQ(split("print \"open to the end"),
              (std::vector<std::string>{"print", "open to the end"}));
    EXPECT_EQ(split("print ab\"c"), (std::vector<std::string>{"print", "ab\"c"}));
    EXPECT_EQ(split("print '' \"\""), (std::vector<std::string>{"print", "", ""}));
    EXPECT_TRUE(split("   ").empty());
}

TEST(SplitArguments, StopsAfterFiftyArguments) {
    std::string line;
    for (int i = 0; i < 60; ++i) line += "a" + std::to_string(i) + " ";
    std::vector<std::string> args = split(line);
    ASSERT_EQ(args.size(), 50u);
    EXPECT_EQ(args.back(), "a49");
}

TEST(ResolveEscapes, EachSequenceBecomesOneByte) {
    auto resolve = [](std::string text) {
        resolveEscapes(text.data());
        return std::string(text.c_str());
    };
    EXPECT_EQ(resolve("a\\tb\\nc\\rd"), "a\tb\nc\rd");
    EXPECT_EQ(resolve("\\101\\7x\\0612"), "A\ax12");  // at most three octal digits
    EXPECT_EQ(resolve("\\777"), std::string(1, static_cast<char>(0777 & 0xff)));
    EXPECT_EQ(resolve("\\\\ \\\" \\q"), "\\ \" q");
    EXPECT_EQ(resolve("end\\"), "end\\");  // a trailing backslash stays
    EXPECT_EQ(resolve("\\08"), "");        // an octal zero ends the text
}

TEST(ParseBoolean, ReadsNumbersAndWordsAndWarnsOnAnythingElse) {
    EXPECT_EQ(parseBoolean("1"), 1);
    EXPECT_EQ(parseBoolean("0"), 0);
    EXPECT_EQ(parseBoolean("17"), 17);
    EXPECT_EQ(parseBoolean("99999999999999999999"), 2147483647);
    EXPECT_EQ(parseBoolean("ON"), 1);
    EXPECT_EQ(parseBoolean("Yes"), 1);
    EXPECT_EQ(parseBoolean("oFf"), 0);
    EXPECT_EQ(parseBoolean("NO"), 0);
    int value = -1;
    std::string err = test::captureStderr([&] { value = parseBoolean("maybe"); });
    EXPECT_EQ(value, 0);
    EXPECT_EQ(err, "ERROR: Not a boolean value: \"maybe\". Assuming \"no\".\n");
    err = test::captureStderr([&] { value = parseBoolean("-1"); });
    EXPECT_EQ(value, 0);
    EXPECT_EQ(err, "ERROR: Not a boolean value: \"-1\". Assuming \"no\".\n");
}

}  // namespace

}  // namespace shell
