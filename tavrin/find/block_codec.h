// The texts the index keeps, packed: a byte-oriented LZ77 format of the index's own, chosen for
// unpacking speed (a search may unpack every entry of the index: tens of megabytes) over
// ratio (about 40% of the text; zlib's inflate was four times slower on it).
//
// The packed form is a sequence of steps, each a token byte, literals, then a match: the
// token's high four bits are the count of literal bytes (15: more follow, as bytes added while
// they are 255), the literal bytes themselves; unless the input ends there, a two-byte
// little-endian distance back into the output (1 to 65535) and the match's length (the
// token's low four bits plus 4; 19 and more: bytes added as for literals). The last step has
// literals only. The unpacked size is stored beside the packed bytes and checks them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace session_index {

// Packs texts for the index build. Keeps its table from one text to the next (no allocation
// each time). One thread uses an object at a time.
class CBlockPacker {
  public:
    CBlockPacker();
    // Replaces out with the packed bytes.
    void Pack(std::string_view bytes, std::string& out);

  private:
    std::vector<std::uint32_t> m_table;  // hash of four bytes: the last position seen + 1
};

// The largest text unpacked: an entry holds a few kilobytes, or one piece of a line of at
// most a megabyte.
inline constexpr std::size_t kMostUnpackedBytes = 4u << 20;

// Replaces out with the unpacked bytes of packed, which must be exactly size bytes. False, out
// unspecified, when packed is damaged (any step reaching outside its input or output, a
// distance before the start), unpacks to another size, or size exceeds kMostUnpackedBytes.
// Any thread.
bool UnpackText(std::string_view packed, std::size_t size, std::string& out);

}  // namespace session_index
