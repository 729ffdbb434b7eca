#include "tavrin/find/appliance_path.h"

#include "platform/codepage.h"

namespace session_index {

std::string MapAppliancePath(std::string_view field) {
    // ':' never occurs inside a GBK double-byte character (trail bytes start at 0x40), so it
    // is replaced byte by byte; the bytes of the file name stay as the package holds them.
    std::string bytes(field);
    for (char& c : bytes) {
        if (c == ':') c = '_';
    }
    // Drop the bytes of the last four characters: of ASCII text (most paths), four bytes.
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        bytes.resize(bytes.size() > 4 ? bytes.size() - 4 : 0);
        return bytes;
    }
    std::u16string wide = platform::AnsiToUtf16(bytes);
    std::size_t dropChars = wide.size() < 4 ? wide.size() : 4;
    std::string tail = platform::Utf16ToAnsi(wide.substr(wide.size() - dropChars));
    std::size_t dropBytes = dropChars;  // undecodable text: one byte a character
    if (tail.size() <= bytes.size() &&
        bytes.compare(bytes.size() - tail.size(), tail.size(), tail) == 0)
        dropBytes = tail.size();
    bytes.resize(bytes.size() > dropBytes ? bytes.size() - dropBytes : 0);
    return bytes;
}

}  // namespace session_index
