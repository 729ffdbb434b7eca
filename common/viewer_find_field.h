// The optional fifth field of the scan viewer's command line: the text to find when the
// viewer opens, and the line to look from. Tavrin appends it after the four usual fields as
// " ~find:LINE:TEXT"; without it the command line is exactly the four fields.
//
// TEXT is the UTF-8 text with every byte outside printable ASCII, and "%", "~" and ":",
// written as "%XX" (upper-case hex), so the field holds neither a blank nor a "~" and the
// four fields before it are split exactly as without it. LINE is the index (from 0) of the
// viewer's line where the search begins; the viewer wraps, so any line still finds the
// first match. No Qt; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace common {

struct SViewerFind {
    std::string strTextUtf8;  // never empty in a valid field
    std::int64_t nFromLine = 0;
    bool operator==(const SViewerFind&) const = default;
};

// "find:LINE:TEXT" (without the introducing "~"); a negative line is written as 0.
std::string EncodeViewerFindField(const SViewerFind& find);

// The field after its "~". Nothing when it is not a whole, valid field: another prefix, a
// line that is not a decimal number, an empty text, a bad "%" escape or a byte that should
// have been escaped.
std::optional<SViewerFind> DecodeViewerFindField(std::string_view field);

}  // namespace common
