#include "platform/codepage.h"

#include <errno.h>
#include <iconv.h>

#include <vector>

namespace platform {
namespace {

// Converts with iconv from one encoding to another. On an invalid or incomplete input sequence
// the first byte (or code unit) is replaced by `replacement` in the output and skipped.
std::string Convert(const char* to, const char* from, const char* data, size_t size,
                    const std::string& replacement, size_t unitSize, bool* ok) {
    if (ok) *ok = true;
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1) {
        if (ok) *ok = false;
        return std::string();
    }
    std::string out;
    out.reserve(size * 2 + 16);
    std::vector<char> buffer(4096);
    char* in = const_cast<char*>(data);
    size_t inLeft = size;
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc != (size_t)-1) break;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: replace one unit and go on.
        if (ok) *ok = false;
        out += replacement;
        size_t skip = unitSize < inLeft ? unitSize : inLeft;
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft);
    iconv_close(cd);
    return out;
}

std::u16string ToU16(const std::string& bytes) {
    std::u16string result(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < result.size(); ++i) {
        result[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                          (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return result;
}

const std::string kReplacement16("\xFD\xFF", 2);  // U+FFFD in UTF-16LE

}  // namespace

std::u16string AnsiToUtf16(std::string_view text) {
    return ToU16(Convert("UTF-16LE", AnsiCodePageName().c_str(), text.data(), text.size(),
                         kReplacement16, 1, nullptr));
}

std::string Utf16ToAnsi(std::u16string_view text, bool* ok) {
    return Convert(AnsiCodePageName().c_str(), "UTF-16LE",
                   reinterpret_cast<const char*>(text.data()), text.size() * 2, "?", 2, ok);
}

}  // namespace platform
