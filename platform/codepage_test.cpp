#include "platform/codepage.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

TEST(CodePage, GbkRoundTripsThroughUtf16AndUtf8) {
    const std::string gbk = "\xB4\xF2\xBF\xAA\xCA\xFD\xBE\xDD";  // 打开数据
    EXPECT_EQ(platform::AnsiToUtf8(gbk), "打开数据");
    EXPECT_EQ(platform::Utf8ToAnsi("打开数据"), gbk);
    EXPECT_EQ(platform::Utf16ToAnsi(u"打开数据"), gbk);
    EXPECT_EQ(platform::AnsiToUtf16(gbk), u"打开数据");
}

TEST(CodePage, InvalidGbkBytesBecomeReplacementCharactersAndKeepTheRest) {
    // 0xFF is never a GBK lead byte; 0xB4 at the end is a lead byte without its trail.
    const std::string bad = std::string("a\xFF") + "b\xB4";
    EXPECT_EQ(platform::AnsiToUtf16(bad), u"a\uFFFDb\uFFFD");
}

TEST(CodePage, UnrepresentableCharactersAreReplacedAndReported) {
    bool ok = true;
    EXPECT_EQ(platform::Utf16ToAnsi(u"x\u0E01y", &ok), "x?y");  // a Thai letter
    EXPECT_FALSE(ok);
    ok = false;
    platform::Utf16ToAnsi(u"plain", &ok);
    EXPECT_TRUE(ok);
}

TEST(CodePage, InvalidUtf8IsReplacedNotDropped) {
    EXPECT_EQ(platform::Utf8ToUtf16("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(platform::Utf16ToUtf8(u"\xD800z"), "\xEF\xBF\xBDz");
}

}  // namespace

namespace {

TEST(CodePage, ALeadByteWithAnInvalidTrailLosesOnlyItself) {
    // 0x81 opens a GBK pair but 0x20 cannot end one: the space and the text after it survive.
    EXPECT_EQ(platform::AnsiToUtf16("\x81 ok\xC9\xF3"), u"\uFFFD ok审");
    EXPECT_EQ(platform::AnsiToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(platform::AnsiToUtf8(""), "");
}

}  // namespace

namespace {

TEST(CodePage, OneBadByteInALongTextCostsOnlyItself) {
    // Long enough that a converter working on the whole text at once must fall back to
    // converting piece by piece, and must not lose the valid text around the bad byte.
    std::string gbk;
    for (int i = 0; i < 10000; ++i) gbk += "\xB4\xF2";  // 打
    gbk.insert(10000, "\xFF");
    const std::u16string wide = platform::AnsiToUtf16(gbk);
    ASSERT_EQ(wide.size(), 10001u);
    EXPECT_EQ(wide[5000], u'\uFFFD');
    EXPECT_EQ(std::count(wide.begin(), wide.end(), u'\u6253'), 10000);
    // Overlong UTF-8 forms are refused byte by byte, never read as the character they dress.
    EXPECT_EQ(platform::Utf8ToUtf16("a\xC0\xAFz"), u"a\uFFFD\uFFFDz");
    EXPECT_EQ(platform::Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

}  // namespace

namespace {

TEST(CodePage, WellFormedUtf8IsToldFromEverythingElse) {
    EXPECT_TRUE(platform::IsValidUtf8(""));
    EXPECT_TRUE(platform::IsValidUtf8("plain"));
    EXPECT_TRUE(platform::IsValidUtf8("打开 \xF0\x9F\x98\x80"));
    // GBK bytes (a package's name), an overlong '/', a surrogate, a value beyond U+10FFFF and
    // a sequence cut off at the end are not UTF-8.
    for (const char* bad :
         {"\xB4\xF2\xBF\xAA", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "ok\xE6\x89"})
        EXPECT_FALSE(platform::IsValidUtf8(bad)) << bad;
}

}  // namespace
