// Decoding package text (ANSI code page bytes, GBK by default) to UTF-8 for display and search,
// with nothing lost: a byte that does not begin a valid character is written as the four
// characters "\xNN" (NN its value in upper-case hexadecimal) and decoding goes on with the next
// byte. A backslash of the text itself is kept as it is, so the escape form is visible but not
// unambiguous; it is meant for reading and finding, not for turning back into bytes.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// One decoder keeps one conversion state, so decoding many short lines costs no set-up each.
// One thread uses an object at a time; make one per thread.
class CAnsiDecoder {
  public:
    CAnsiDecoder();
    ~CAnsiDecoder();
    CAnsiDecoder(const CAnsiDecoder&) = delete;
    CAnsiDecoder& operator=(const CAnsiDecoder&) = delete;

    // Appends the UTF-8 form of bytes to out. Pure ASCII is copied as it is. When the code page
    // cannot be opened at all, every byte above 0x7F is escaped.
    void AppendUtf8(std::string_view bytes, std::string& out);
    std::string ToUtf8(std::string_view bytes) {
        std::string out;
        AppendUtf8(bytes, out);
        return out;
    }

  private:
    void* m_pState = nullptr;  // the conversion descriptor, or null when unavailable
};

}  // namespace platform
