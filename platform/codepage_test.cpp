#include "platform/codepage.h"

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
