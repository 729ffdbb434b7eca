// How a code page splits its bytes into characters: the one rule every reader of package
// text (the name filters' LIKE, the text index's long-line pieces) goes by.
//
// Plain functions; any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace common {

// How a code page splits bytes into characters.
enum class CharScheme {
    kSingleByte,  // every byte a character
    kGbk,         // lead 0x81-0xFE with trail 0x40-0x7E/0x80-0xFE (GBK, CP936, GB2312)
    kGb18030,     // GBK and the four-byte form lead, digit, lead, digit
    kUtf8,        // well-formed UTF-8 sequences
};

// The scheme of an iconv code-page name ("GBK", "CP936", "GB18030", "UTF-8", ...; case and
// '-'/'_' ignored). Names it does not know split into single bytes.
CharScheme SchemeOfCodePage(std::string_view name);

// Bytes of the character that starts text (at least 1; 0 for empty text). A lead byte with
// no valid continuation (at the end, or before a byte that cannot follow it) is a character
// of one byte, and the next byte starts a character of its own.
std::size_t CharLength(CharScheme scheme, std::string_view text);

}  // namespace common
