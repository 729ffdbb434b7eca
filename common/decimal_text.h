// Reading numbers out of text that comes from packages, rows and typed fields.
#pragma once

#include <string_view>

namespace common {

// The leading decimal number of text, read as C's atoi reads it (leading blanks, an optional
// sign, digits up to the first other character; no digits give 0), but clamped to the int
// range instead of overflowing. Thread-safe.
int LeadingDecimal(std::string_view text);

}  // namespace common
