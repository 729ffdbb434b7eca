// Finding bytes of a few kinds 16 at a time, for the line and field scans of .import: the
// fields of a dump line are short, so one pass that marks every byte of interest costs less
// than a memchr call per field. SSE2 where the compiler offers it (every x86-64), else bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace shell::byte_scan {

constexpr std::size_t kBlock = 16;

// A bit for each of the n (at most kBlock) bytes at p that equals a, b, c or d; bit i stands
// for p[i]. Reads only those n bytes.
inline std::uint32_t MatchMask(const char* p, std::size_t n, char a, char b, char c, char d) {
#if defined(__SSE2__)
    __m128i v;
    if (n == kBlock) {
        v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    } else {
        alignas(16) char tail[kBlock] = {};
        std::memcpy(tail, p, n);
        v = _mm_load_si128(reinterpret_cast<const __m128i*>(tail));
    }
    __m128i hit = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(a)), _mm_cmpeq_epi8(v, _mm_set1_epi8(b))),
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(c)), _mm_cmpeq_epi8(v, _mm_set1_epi8(d))));
    std::uint32_t mask = static_cast<std::uint32_t>(_mm_movemask_epi8(hit));
    return n == kBlock ? mask : mask & ((1u << n) - 1);
#else
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < n; ++i) {
        char x = p[i];
        if (x == a || x == b || x == c || x == d) mask |= 1u << i;
    }
    return mask;
#endif
}

// Bits set in a 16-bit mask, without the library call that __builtin_popcount becomes on
// processors the build does not assume to have a popcount instruction.
inline std::size_t PopCount16(std::uint32_t x) {
    x = x - ((x >> 1) & 0x5555u);
    x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
    x = (x + (x >> 4)) & 0x0F0Fu;
    return (x + (x >> 8)) & 0x1Fu;
}

// Number of bytes equal to c among the n bytes at p.
inline std::size_t Count(const char* p, std::size_t n, char c) {
    std::size_t count = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i vc = _mm_set1_epi8(c);
    for (; i + kBlock <= n; i += kBlock) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        count += PopCount16(static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, vc))));
    }
#endif
    for (; i < n; ++i) count += p[i] == c;
    return count;
}

}  // namespace shell::byte_scan
