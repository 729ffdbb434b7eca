#include "tavrin/find/block_codec.h"

#include <zlib.h>

#include <climits>

namespace session_index {

namespace {

// Fastest level: the build must stay within half the import's time, and level 1 already keeps
// the index within the size of the package's text. A 4 KB window and a small hash table suit
// texts of a few kilobytes, and make resetting the stream for each cheap (zlib clears the hash
// table at every reset: 64 KB at its default memory level, 4 KB here).
constexpr int kLevel = 1;
constexpr int kWindowBits = 12;
constexpr int kMemLevel = 4;

}  // namespace

struct CBlockPacker::Stream {
    z_stream z{};
    bool bReady = false;
};

CBlockPacker::CBlockPacker() : m_pStream(new Stream) {
    m_pStream->bReady = deflateInit2(&m_pStream->z, kLevel, Z_DEFLATED, -kWindowBits, kMemLevel,
                                     Z_DEFAULT_STRATEGY) == Z_OK;
}

CBlockPacker::~CBlockPacker() {
    if (m_pStream->bReady) deflateEnd(&m_pStream->z);
}

bool CBlockPacker::Pack(std::string_view bytes, std::string& out) {
    z_stream& z = m_pStream->z;
    if (!m_pStream->bReady || bytes.size() > UINT_MAX / 2 || deflateReset(&z) != Z_OK) return false;
    out.resize(deflateBound(&z, static_cast<uLong>(bytes.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) return false;
    out.resize(out.size() - z.avail_out);
    return true;
}

struct CBlockUnpacker::Stream {
    z_stream z{};
    bool bReady = false;
};

CBlockUnpacker::CBlockUnpacker() : m_pStream(new Stream) {
    // The largest window: any raw stream inflates, whatever window packed it.
    m_pStream->bReady = inflateInit2(&m_pStream->z, -15) == Z_OK;
}

CBlockUnpacker::~CBlockUnpacker() {
    if (m_pStream->bReady) inflateEnd(&m_pStream->z);
}

bool CBlockUnpacker::Unpack(std::string_view packed, std::size_t size, std::string& out) {
    z_stream& z = m_pStream->z;
    if (!m_pStream->bReady || size > kMostBytes || packed.size() > UINT_MAX ||
        inflateReset(&z) != Z_OK)
        return false;
    // One byte more than expected, so that a stream that inflates larger is seen.
    out.resize(size + 1);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    if (rc != Z_STREAM_END || z.avail_in != 0 || z.avail_out != 1) return false;
    out.resize(size);
    return true;
}

}  // namespace session_index
