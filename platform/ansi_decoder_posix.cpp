#include "platform/ansi_decoder.h"

#include <errno.h>
#include <iconv.h>

#include "platform/codepage.h"

namespace platform {
namespace {

void AppendEscape(unsigned char byte, std::string& out) {
    static const char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
}

bool IsAscii(std::string_view bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

}  // namespace

CAnsiDecoder::CAnsiDecoder() {
    iconv_t cd = iconv_open("UTF-8", AnsiCodePageName().c_str());
    if (cd != (iconv_t)-1) m_pState = cd;
}

CAnsiDecoder::~CAnsiDecoder() {
    if (m_pState) iconv_close(static_cast<iconv_t>(m_pState));
}

void CAnsiDecoder::AppendUtf8(std::string_view bytes, std::string& out) {
    if (IsAscii(bytes)) {
        out.append(bytes);
        return;
    }
    if (!m_pState) {
        for (char c : bytes) {
            unsigned char byte = static_cast<unsigned char>(c);
            if (byte < 0x80)
                out += c;
            else
                AppendEscape(byte, out);
        }
        return;
    }
    iconv_t cd = static_cast<iconv_t>(m_pState);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof buffer - outLeft);
        if (rc != (size_t)-1) break;
        if (errno == E2BIG) continue;
        // An invalid or cut-off sequence: show its first byte and resume after it.
        AppendEscape(static_cast<unsigned char>(*in), out);
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
}

}  // namespace platform
