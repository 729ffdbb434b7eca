#include "tavrin/find/block_codec.h"

#include <random>

#include <gtest/gtest.h>

namespace session_index {

namespace {

// Blocks as the index holds them: empty, text with CR LF and GBK bytes, every byte value, a
// megabyte-long line; one packer and one unpacker for all, as a build and a search use them.
TEST(BlockCodecTest, EveryBlockUnpacksToItsBytesWithStreamsReused) {
    std::string everyByte;
    for (int i = 0; i < 256; ++i) everyByte += static_cast<char>(i);
    std::string noise(5000, '\0');
    std::mt19937 rng(3);
    for (char& c : noise) c = static_cast<char>(rng());
    const std::string blocks[] = {"", "ls -l\r\n\xC9\xF3\xBC\xC6 \xFF\xFE end\r", everyByte, noise,
                                  std::string(1 << 20, 'z') + "NEEDLE"};
    CBlockPacker packer;
    CBlockUnpacker unpacker;
    for (int round = 0; round < 2; ++round) {
        for (const std::string& bytes : blocks) {
            std::string packed, out = "left over";
            ASSERT_TRUE(packer.Pack(bytes, packed));
            ASSERT_TRUE(unpacker.Unpack(packed, bytes.size(), out));
            EXPECT_EQ(out, bytes);
        }
    }
    std::string packed;
    ASSERT_TRUE(packer.Pack(blocks[4], packed));
    EXPECT_LT(packed.size(), blocks[4].size() / 50);  // long runs pack, even in a small window
}

// A damaged index must not give text it does not hold: a stream cut short, one with bytes
// after its end, one that inflates to another size than recorded, and bytes that are no
// stream at all are refused, as is a size beyond what a block can hold.
TEST(BlockCodecTest, DamagedOrMisSizedBlocksAreRefused) {
    const std::string bytes = "cat /etc/passwd\nvi /etc/hosts\n" + std::string(3000, 'x');
    CBlockPacker packer;
    CBlockUnpacker unpacker;
    std::string packed, out;
    ASSERT_TRUE(packer.Pack(bytes, packed));
    EXPECT_FALSE(unpacker.Unpack(packed.substr(0, packed.size() - 1), bytes.size(), out));
    EXPECT_FALSE(unpacker.Unpack(packed + "x", bytes.size(), out));
    EXPECT_FALSE(unpacker.Unpack(packed, bytes.size() - 1, out));
    EXPECT_FALSE(unpacker.Unpack(packed, bytes.size() + 1, out));
    EXPECT_FALSE(unpacker.Unpack("\xFF\xFF\xFF\xFF", 4, out));
    EXPECT_FALSE(unpacker.Unpack("", 1, out));
    EXPECT_FALSE(unpacker.Unpack(packed, CBlockUnpacker::kMostBytes + 1, out));
    // The stream is usable again after a refusal.
    ASSERT_TRUE(unpacker.Unpack(packed, bytes.size(), out));
    EXPECT_EQ(out, bytes);
}

}  // namespace

}  // namespace session_index
