// SQL's LIKE, character by character in the package's code page.
//
// Package texts are stored as the code page's bytes (GBK on the target systems), while
// SQLite's own LIKE reads them as UTF-8: a GBK character is then neither one character nor
// its bytes, so name filters miss values that contain the typed text and list values that do
// not. The like() functions registered here replace it on a connection: the pattern and the
// value are split into code-page characters first, so a match never starts on a trail byte or
// straddles two characters, '%' and '_' are wildcards only as characters of their own ('_'
// is one character, two bytes for a double-byte one) and ASCII letters match without regard
// to case (a trail byte that equals a letter is part of its character and never folded).
//
// Plain functions with no window; any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

struct sqlite3;

namespace browser {

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

// True when value matches pattern as LIKE does, by character: '%' any run of characters,
// '_' one character, escape (one character, when given) makes the character after it
// literal. A pattern ending in the escape character matches nothing. Time grows with
// pattern length times value length at most (no exponential backtracking).
bool LikeMatch(CharScheme scheme, std::string_view pattern, std::string_view value,
               std::optional<std::string_view> escape = std::nullopt);

// Registers like(pattern, value) and like(pattern, value, escape) on db, splitting by the
// ANSI code page's scheme (platform::AnsiCodePageName()). Both return NULL when an argument
// is NULL; an escape that is not one character and a pattern longer than the connection's
// LIKE pattern limit are errors, as with SQLite's own. Returns SQLite's result code
// (SQLITE_MISUSE for a null db). Call on the thread that uses db, before the queries.
int RegisterCodePageLike(sqlite3* db);

}  // namespace browser
