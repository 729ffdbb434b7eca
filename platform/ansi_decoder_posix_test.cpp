#include <errno.h>
#include <iconv.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/ansi_decoder.h"
#include "platform/codepage.h"

namespace {

// The decoding by its definition, one call into iconv a text: a byte where iconv stops (an
// invalid or cut-off sequence) is escaped, and iconv starts afresh after it.
std::string DecodeByIconv(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", platform::AnsiCodePageName().c_str());
    EXPECT_NE(cd, (iconv_t)-1);
    std::string out;
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char buffer[256];
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (rc != (size_t)-1) break;
        if (errno == E2BIG) continue;
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(*in));
        out += escape;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

// The decoder answers as iconv does for every byte and every pair of bytes of the code page,
// and for random texts of valid characters, stray bytes and cut-off pairs.
TEST(AnsiDecoderPosix, DecodesAsIconvDoesEveryByteAndPair) {
    platform::CAnsiDecoder decoder;
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        ASSERT_EQ(decoder.ToUtf8(one), DecodeByIconv(one)) << b;
        for (int t = 0; t < 256; ++t) {
            const std::string two = one + static_cast<char>(t);
            ASSERT_EQ(decoder.ToUtf8(two), DecodeByIconv(two)) << b << " " << t;
        }
    }
    std::mt19937 rng(11);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int length = static_cast<int>(rng() % 64);
        for (int i = 0; i < length; ++i) {
            const unsigned r = rng() % 4;
            // A run of ASCII (decoded several bytes at a time), a lead byte of GBK, a byte of
            // the trail range, anything.
            for (unsigned run = round % 2 ? rng() % 20 : 0; r == 0 && run > 0; --run)
                text += static_cast<char>(0x20 + rng() % 0x5F);
            text += static_cast<char>(r == 0   ? 0x20 + rng() % 0x5F
                                      : r == 1 ? 0x81 + rng() % 0x7E
                                      : r == 2 ? 0x40 + rng() % 0xBF
                                               : rng() % 256);
        }
        std::string out = "kept";
        decoder.AppendUtf8(text, out);
        ASSERT_EQ(out, "kept" + DecodeByIconv(text)) << round;
    }
}

}  // namespace
