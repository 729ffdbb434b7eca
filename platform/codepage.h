// Text conversions between the ANSI code page, UTF-16 and UTF-8.
//
// The ANSI code page is the one the appliance wrote its packages in: GBK (CP936) unless the
// environment variable TAVRIN_ANSI_CODEPAGE names another iconv encoding. All functions are
// thread-safe (each call uses its own conversion descriptor).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Name of the ANSI code page in iconv's terms, for example "GBK".
const std::string& AnsiCodePageName();

// Converts UTF-16 text to UTF-8. Unpaired surrogates become U+FFFD. Never fails.
std::string Utf16ToUtf8(std::u16string_view text);

// Converts UTF-8 text to UTF-16. Invalid bytes become U+FFFD each. Never fails.
std::u16string Utf8ToUtf16(std::string_view text);

// Converts ANSI-code-page bytes to UTF-16. Bytes that do not form a valid character become
// U+FFFD each, so no input is lost silently and none makes the call fail.
std::u16string AnsiToUtf16(std::string_view text);

// Converts UTF-16 text to the ANSI code page. Characters the code page lacks become '?'.
// When ok is given it is set to false if any character was replaced.
std::string Utf16ToAnsi(std::u16string_view text, bool* ok = nullptr);

// Reads one UTF-8 sequence at text[i] (i < text.size()): its code point and length. False
// when the byte there starts no well-formed sequence (overlong forms, surrogates, values
// above U+10FFFF and cut-off sequences included).
bool DecodeUtf8(std::string_view text, std::size_t i, char32_t* cp, std::size_t* len);

// True when text is well-formed UTF-8 throughout.
bool IsValidUtf8(std::string_view text);

// Convenience compositions through UTF-16.
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text, bool* ok = nullptr);

}  // namespace platform
