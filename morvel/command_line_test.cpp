#include "morvel/command_line.h"

#include <gtest/gtest.h>

namespace morvel {

TEST(MorvelCommandLine, TavrinsLaunchTextGivesSessionAndPackage) {
    MorvelArguments a = ParseCommandLineText("~1 ~17 ~r1 ~P");
    EXPECT_EQ(a.strSessionName, "r1");
    EXPECT_EQ(a.strPackage, "P");
    a = ParseCommandLineText("~0 ~5 ~abc ~pkg");
    EXPECT_EQ(a.strSessionName, "abc");
    EXPECT_EQ(a.strPackage, "pkg");
    EXPECT_EQ(ParentDbPath("/V", a.strPackage), "/V/pkg/pkgParent.db");
    EXPECT_EQ(PackageFolder("/V", a.strPackage), "/V/pkg");
}

TEST(MorvelCommandLine, TildeInPackageKeepsOnlyItsLastPart) {
    MorvelArguments a = ParseCommandLineText("~1 ~17 ~r1 ~P~Q");
    EXPECT_EQ(a.strSessionName, "r1");
    EXPECT_EQ(a.strPackage, "Q");
}

TEST(MorvelCommandLine, TooFewFieldsGiveEmptyOrPartialTexts) {
    struct Case {
        const char* text;
        const char* session;
        const char* package;
    } cases[] = {
        {"", "", ""},
        {"~", "", ""},
        {"~1", "", "1"},
        {"~1 ~17", "", "17"},
        {"~1 ~17 ~r1", "", "r1"},
        {"plain", "", "plain"},
        // Missing separating blank: the name loses its last character, as the rule says.
        {"~1 ~17 ~r1~P", "r", "P"},
        {"~1 ~17 ~long name ~P", "long name", "P"},
    };
    for (const Case& c : cases) {
        MorvelArguments a = ParseCommandLineText(c.text);
        EXPECT_EQ(a.strSessionName, c.session) << c.text;
        EXPECT_EQ(a.strPackage, c.package) << c.text;
    }
}

TEST(MorvelCommandLine, ArgumentsAreJoinedByOneBlankWithoutLeadingBlanks) {
    const char* one[] = {"Morvel", "~1 ~17 ~r1 ~P"};
    EXPECT_EQ(CommandLineText(2, one), "~1 ~17 ~r1 ~P");
    const char* split[] = {"Morvel", "~1", "~17", "~r1", "~P"};
    EXPECT_EQ(CommandLineText(5, split), "~1 ~17 ~r1 ~P");
    const char* blanks[] = {"Morvel", "  ~1 ~2 ~s ~p"};
    EXPECT_EQ(ParseCommandLineText(CommandLineText(2, blanks)).strSessionName, "s");
    const char* none[] = {"Morvel"};
    EXPECT_EQ(CommandLineText(1, none), "");
}

TEST(MorvelCommandLine, FifthFieldCarriesTheTextToFindAndLeavesTheOthersAlone) {
    const std::string field = common::EncodeViewerFindField({"cat ~/x 审计", 30});
    MorvelArguments a = ParseCommandLineText("~0 ~5 ~r1 ~pkg ~" + field);
    EXPECT_EQ(a.strSessionName, "r1");
    EXPECT_EQ(a.strPackage, "pkg");
    ASSERT_TRUE(a.find);
    EXPECT_EQ(a.find->strTextUtf8, "cat ~/x 审计");
    EXPECT_EQ(a.find->nFromLine, 30);

    // A package holding "~" keeps its last part, as without the fifth field.
    a = ParseCommandLineText("~0 ~5 ~r1 ~P~Q ~" + field);
    EXPECT_EQ(a.strPackage, "Q");
    EXPECT_TRUE(a.find);

    // Without a valid fifth field everything is the four-field parse: an invalid field, one
    // not set off by a blank, or one standing in for the package, is the package's text.
    for (const char* text : {"~0 ~5 ~r1 ~pkg ~find:x:y", "~0 ~5 ~r1 ~pkg~find:1:y",
                             "~0 ~5 ~r1 ~find:1:y", "~0 ~5 ~r1 ~pkg ~find:1:a b"}) {
        a = ParseCommandLineText(text);
        MorvelArguments plain = ParseCommandLineText(std::string(text));
        EXPECT_FALSE(a.find) << text;
        EXPECT_EQ(a.strSessionName, "r1") << text;
        const std::string_view t(text);
        EXPECT_EQ(a.strPackage, t.substr(t.rfind('~') + 1)) << text;
        EXPECT_EQ(plain.strPackage, a.strPackage);
    }
}

}  // namespace morvel
