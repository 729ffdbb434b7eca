#include "tavrin/find/block_codec.h"

#include <random>

#include <gtest/gtest.h>

namespace session_index {

namespace {

// Texts as the index holds them, and texts made to reach every branch of the format: literal
// and match lengths around 15 and 255, overlapping matches (distances 1 to 8), distances near
// 65535, runs longer than that; one packer for all, as a build uses it.
TEST(BlockCodecTest, EveryTextUnpacksToItsBytes) {
    std::vector<std::string> texts = {"", "a", "abcd", "abcdabcd",
                                      "ls -l\r\n\xC9\xF3\xBC\xC6 \xFF\xFE end\r"};
    std::string everyByte;
    for (int i = 0; i < 256; ++i) everyByte += static_cast<char>(i);
    texts.push_back(everyByte);
    texts.push_back(std::string(1 << 20, 'z') + "NEEDLE");
    std::mt19937 rng(3);
    std::string noise(70000, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    texts.push_back(noise);
    texts.push_back(noise.substr(0, 65540) + noise.substr(0, 300));  // a match 65540 back: none
    texts.push_back(noise.substr(0, 65530) + noise.substr(0, 300));  // 65530 back
    const char* words[] = {"cat /etc/passwd", "vi /etc/hosts", "王五", "a", "ab", "abcdefgh"};
    for (int t = 0; t < 200; ++t) {
        std::string text;
        for (int w = 0, n = int(rng() % 60); w < n; ++w) {
            if (rng() % 4 == 0) {
                text += std::string(rng() % 300, static_cast<char>('a' + rng() % 3));
            } else if (rng() % 3 == 0) {
                for (int k = 0, m = int(rng() % 40); k < m; ++k) text += static_cast<char>(rng());
            } else {
                text += words[rng() % 6];
            }
        }
        texts.push_back(text);
    }
    CBlockPacker packer;
    std::string packed, out;
    for (const std::string& text : texts) {
        packer.Pack(text, packed);
        out = "left over";
        ASSERT_TRUE(UnpackText(packed, text.size(), out)) << text.size();
        ASSERT_EQ(out, text);
    }
    packer.Pack(texts[6], packed);
    EXPECT_LT(packed.size(), texts[6].size() / 200);  // long runs pack
}

// A damaged index must not give text it does not hold: a stream cut short or with bytes after
// its end, one that unpacks to another size than recorded, a match reaching before the start,
// and lengths beyond any output are refused.
TEST(BlockCodecTest, DamagedOrMisSizedTextsAreRefused) {
    const std::string text = "cat /etc/passwd\nvi /etc/hosts\n" + std::string(3000, 'x');
    CBlockPacker packer;
    std::string packed, out;
    packer.Pack(text, packed);
    ASSERT_TRUE(UnpackText(packed, text.size(), out));
    for (std::size_t cut = 0; cut < packed.size(); ++cut)
        EXPECT_FALSE(UnpackText(packed.substr(0, cut), text.size(), out)) << cut;
    EXPECT_FALSE(UnpackText(packed + "x", text.size(), out));
    EXPECT_FALSE(UnpackText(packed, text.size() - 1, out));
    EXPECT_FALSE(UnpackText(packed, text.size() + 1, out));
    EXPECT_FALSE(UnpackText(packed, kMostUnpackedBytes + 1, out));
    // Token: 1 literal, a match of 4; then the distance.
    EXPECT_FALSE(UnpackText(std::string("\x10"
                                        "a\x00\x00",
                                        4) +
                                '\0',
                            5, out));  // distance 0
    EXPECT_FALSE(UnpackText(std::string("\x10"
                                        "a\x02\x00",
                                        4) +
                                '\0',
                            5, out));  // before start
    EXPECT_TRUE(UnpackText(std::string("\x10"
                                       "a\x01\x00",
                                       4) +
                               '\0',
                           5, out));
    EXPECT_EQ(out, "aaaaa");
    // Literal lengths that never end, or claim more than the input holds.
    EXPECT_FALSE(UnpackText(std::string("\xF0\xFF\xFF\xFF"), 100, out));
    EXPECT_FALSE(UnpackText(std::string("\x50"
                                        "ab"),
                            5, out));
    // Random bytes either are refused or give exactly the size asked for.
    std::mt19937 rng(5);
    for (int i = 0; i < 2000; ++i) {
        std::string junk(rng() % 40, '\0');
        for (char& c : junk) c = static_cast<char>(rng());
        const std::size_t size = rng() % 100;
        if (UnpackText(junk, size, out)) {
            EXPECT_EQ(out.size(), size);
        }
    }
}

}  // namespace

}  // namespace session_index
