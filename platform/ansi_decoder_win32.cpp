#include "platform/ansi_decoder.h"

#include "platform/codepage.h"
#include "platform/system_win32.h"

namespace platform {
namespace {

void AppendEscape(unsigned char byte, std::u16string& out) {
    static const char kHex[] = "0123456789ABCDEF";
    out += u"\\x";
    out += static_cast<char16_t>(kHex[byte >> 4]);
    out += static_cast<char16_t>(kHex[byte & 15]);
}

bool IsAscii(std::string_view bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

}  // namespace

// Windows always has the code page (an unknown name falls back to 936): no state to keep.
CAnsiDecoder::CAnsiDecoder() = default;
CAnsiDecoder::~CAnsiDecoder() = default;

void CAnsiDecoder::AppendUtf8(std::string_view bytes, std::string& out) {
    if (IsAscii(bytes)) {
        out.append(bytes);
        return;
    }
    out += Utf16ToUtf8(win32::DecodeAnsi(bytes, AppendEscape));
}

}  // namespace platform
