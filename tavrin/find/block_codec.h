// The texts the index keeps, deflated (zlib, raw deflate streams without header or checksum:
// the stored length checks the result instead). The index packs the bytes of each entry (a few
// kilobytes) on their own, so that a search unpacks only the entries it checks.
//
// Each object keeps its zlib stream from one text to the next (no allocation each time). Not
// copyable; one thread uses an object at a time.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace session_index {

// Packs texts for the index build.
class CBlockPacker {
  public:
    CBlockPacker();
    ~CBlockPacker();
    CBlockPacker(const CBlockPacker&) = delete;
    CBlockPacker& operator=(const CBlockPacker&) = delete;

    // Replaces out with the deflated bytes. False when zlib fails (out of memory).
    bool Pack(std::string_view bytes, std::string& out);

  private:
    struct Stream;
    std::unique_ptr<Stream> m_pStream;
};

// Unpacks texts for a search.
class CBlockUnpacker {
  public:
    CBlockUnpacker();
    ~CBlockUnpacker();
    CBlockUnpacker(const CBlockUnpacker&) = delete;
    CBlockUnpacker& operator=(const CBlockUnpacker&) = delete;

    // Replaces out with the inflated bytes of packed, which must be exactly size bytes. False,
    // out unspecified, when packed is damaged, inflates to another size or size exceeds
    // kMostBytes (an entry holds a few kilobytes, or one piece of a line of at most a
    // megabyte).
    static constexpr std::size_t kMostBytes = 4u << 20;
    bool Unpack(std::string_view packed, std::size_t size, std::string& out);

  private:
    struct Stream;
    std::unique_ptr<Stream> m_pStream;
};

}  // namespace session_index
