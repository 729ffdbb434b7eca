#include "platform/ansi_decoder.h"

#include <gtest/gtest.h>

namespace {

TEST(AnsiDecoder, DecodesGbkAndEscapesWhatDoesNotDecode) {
    platform::CAnsiDecoder decoder;
    EXPECT_EQ(decoder.ToUtf8("ls -l /etc"), "ls -l /etc");
    EXPECT_EQ(decoder.ToUtf8("\xD5\xC5\xC8\xFD rm"), "张三 rm");  // 张三
    // A lone lead byte in the middle, an invalid pair and a lead byte cut off at the end are
    // each shown as escapes; the characters around them survive.
    EXPECT_EQ(decoder.ToUtf8("a\x81 b"), "a\\x81 b");
    EXPECT_EQ(decoder.ToUtf8("\xFF\xD5\xC5"), "\\xFF张");
    EXPECT_EQ(decoder.ToUtf8("\xD5\xC5\xC8"), "张\\xC8");
    // The state does not leak from one call into the next.
    EXPECT_EQ(decoder.ToUtf8("\xC8\xFD"), "三");
    std::string out = "x";
    decoder.AppendUtf8(std::string("\0\x80", 2), out);
    EXPECT_EQ(out, std::string("x\0", 2) + "\xE2\x82\xAC");  // GBK 0x80 is the euro sign
}

TEST(AnsiDecoder, LongTextCrossesTheInternalBuffer) {
    platform::CAnsiDecoder decoder;
    std::string bytes;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        bytes += "\xD5\xC5";
        expected += "张";
        // 0xFF, not 0xFE: Windows' code page 936 reads 0xFE with a trail byte as a character of
        // its user-defined area.
        if (i % 1000 == 0) {
            bytes += '\xFF';
            expected += "\\xFF";
        }
    }
    EXPECT_EQ(decoder.ToUtf8(bytes), expected);
}

}  // namespace
