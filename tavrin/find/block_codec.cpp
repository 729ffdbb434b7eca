#include "tavrin/find/block_codec.h"

#include <cstring>

namespace session_index {

namespace {

constexpr int kHashBits = 12;
constexpr std::size_t kMinMatch = 4;
constexpr std::size_t kMaxDistance = 65535;
// Unpacking copies short literals sixteen bytes at once and matches eight at a time, so it
// may write up to this many bytes past a step's end.
constexpr std::size_t kSlack = 16;

std::uint32_t Read32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::uint32_t Hash(std::uint32_t v) {
    return (v * 2654435761u) >> (32 - kHashBits);
}

void PutLength(std::string& out, std::size_t extra) {
    while (extra >= 255) {
        out += static_cast<char>(255);
        extra -= 255;
    }
    out += static_cast<char>(extra);
}

void PutStep(std::string& out, const unsigned char* literals, std::size_t literalCount,
             std::size_t distance, std::size_t matchLength) {
    const std::size_t m = matchLength == 0 ? 0 : matchLength - kMinMatch;
    out += static_cast<char>((literalCount < 15 ? literalCount : 15) << 4 | (m < 15 ? m : 15));
    if (literalCount >= 15) PutLength(out, literalCount - 15);
    out.append(reinterpret_cast<const char*>(literals), literalCount);
    if (matchLength == 0) return;
    out += static_cast<char>(distance & 0xFF);
    out += static_cast<char>(distance >> 8);
    if (m >= 15) PutLength(out, m - 15);
}

// Reads a length continued in bytes (each added; 255 means another follows). False past end.
bool GetLength(const unsigned char*& in, const unsigned char* end, std::size_t& length) {
    unsigned char b;
    do {
        if (in == end) return false;
        b = *in++;
        length += b;
        if (length > kMostUnpackedBytes) return false;
    } while (b == 255);
    return true;
}

}  // namespace

CBlockPacker::CBlockPacker() : m_table(std::size_t{1} << kHashBits, 0) {}

void CBlockPacker::Pack(std::string_view bytes, std::string& out) {
    out.clear();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t pos = 0, anchor = 0;
    // The table keeps positions of earlier texts too: a candidate is only a guess, checked
    // against the bytes themselves before it is used.
    while (n >= kMinMatch && pos + kMinMatch <= n) {
        const std::uint32_t v = Read32(in + pos);
        std::uint32_t& slot = m_table[Hash(v)];
        const std::size_t candidate = slot;  // position + 1, 0 for none
        slot = static_cast<std::uint32_t>(pos + 1);
        if (candidate == 0 || candidate - 1 >= pos || pos - (candidate - 1) > kMaxDistance ||
            Read32(in + candidate - 1) != v) {
            ++pos;
            continue;
        }
        const std::size_t from = candidate - 1;
        std::size_t length = kMinMatch;
        while (pos + length < n && in[from + length] == in[pos + length]) ++length;
        PutStep(out, in + anchor, pos - anchor, pos - from, length);
        pos += length;
        anchor = pos;
    }
    PutStep(out, in + anchor, n - anchor, 0, 0);
}

bool UnpackText(std::string_view packed, std::size_t size, std::string& out) {
    if (size > kMostUnpackedBytes) return false;
    out.resize(size + kSlack);
    const auto* in = reinterpret_cast<const unsigned char*>(packed.data());
    const unsigned char* const inEnd = in + packed.size();
    auto* const start = reinterpret_cast<unsigned char*>(out.data());
    unsigned char* op = start;
    unsigned char* const end = start + size;
    for (;;) {
        if (in == inEnd) return false;
        const unsigned token = *in++;
        std::size_t literals = token >> 4;
        if (literals == 15 && !GetLength(in, inEnd, literals)) return false;
        if (literals > static_cast<std::size_t>(inEnd - in) ||
            literals > static_cast<std::size_t>(end - op))
            return false;
        if (literals <= kSlack && inEnd - in >= static_cast<std::ptrdiff_t>(kSlack)) {
            std::memcpy(op, in, kSlack);  // one fixed-size copy instead of a call
        } else {
            std::memcpy(op, in, literals);
        }
        op += literals;
        in += literals;
        if (in == inEnd) break;  // the last step
        if (inEnd - in < 2) return false;
        const std::size_t distance = in[0] | static_cast<std::size_t>(in[1]) << 8;
        in += 2;
        std::size_t length = token & 15;
        if (length == 15 && !GetLength(in, inEnd, length)) return false;
        length += kMinMatch;
        if (distance == 0 || distance > static_cast<std::size_t>(op - start) ||
            length > static_cast<std::size_t>(end - op))
            return false;
        const unsigned char* from = op - distance;
        if (distance >= kSlack) {
            // Eight bytes at a time; the last copy may write into the slack after end.
            for (std::size_t i = 0; i < length; i += 8) std::memcpy(op + i, from + i, 8);
        } else {
            // Overlapping: the match repeats its last distance bytes.
            for (std::size_t i = 0; i < length; ++i) op[i] = from[i];
        }
        op += length;
    }
    if (op != end) return false;
    out.resize(size);
    return true;
}

}  // namespace session_index
