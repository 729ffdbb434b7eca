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

#include "common/code_page_chars.h"

struct sqlite3;

namespace browser {

using common::CharLength;
using common::CharScheme;
using common::SchemeOfCodePage;

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
