#include "platform/ansi_decoder.h"

#include <errno.h>
#include <iconv.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

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

// The UTF-8 form of one character of the code page; length 0 when the bytes do not decode.
struct Utf8Char {
    unsigned char nLength = 0;
    char bytes[4] = {};
};

// A stateless code page of one- and two-byte characters (GBK, Big5, the Windows single-byte
// pages) decodes by table: iconv's answer for every byte and pair, asked once per process, so
// that a line costs a lookup a character instead of a call into iconv. A code page with longer
// characters or shifts (UTF-8, GB18030) is not usable this way and goes through iconv.
struct CodePageTable {
    bool bUsable = false;
    std::array<bool, 128> lead{};        // bytes 0x80-0xFF that begin a pair
    std::array<Utf8Char, 128> single{};  // bytes 0x80-0xFF alone
    std::vector<Utf8Char> pairs;         // [(lead - 0x80) * 256 + trail]
};

enum class Converted { kCharacter, kIncomplete, kInvalid, kOther };

// What iconv makes of exactly these bytes from its initial state.
Converted ConvertAlone(iconv_t cd, const unsigned char* bytes, std::size_t n, Utf8Char& out) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char input[2];
    std::memcpy(input, bytes, n);
    char* in = input;
    std::size_t inLeft = n;
    char buffer[16];
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    const std::size_t length = sizeof buffer - outLeft;
    if (rc == static_cast<std::size_t>(-1)) {
        if (length != 0 || in != input) return Converted::kOther;
        return errno == EINVAL   ? Converted::kIncomplete
               : errno == EILSEQ ? Converted::kInvalid
                                 : Converted::kOther;
    }
    // One character of at most four bytes, or something a table cannot hold.
    if (inLeft != 0 || length == 0 || length > 4) return Converted::kOther;
    out.nLength = static_cast<unsigned char>(length);
    std::memcpy(out.bytes, buffer, length);
    return Converted::kCharacter;
}

CodePageTable BuildTable(iconv_t cd) {
    CodePageTable table;
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        const unsigned char first = static_cast<unsigned char>(b);
        switch (ConvertAlone(cd, &first, 1, table.single[b - 0x80])) {
            case Converted::kCharacter:
            case Converted::kInvalid:
                break;
            case Converted::kIncomplete:
                table.lead[b - 0x80] = true;
                break;
            case Converted::kOther:
                return table;
        }
    }
    table.pairs.resize(128 * 256);
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        if (!table.lead[b - 0x80]) continue;
        for (unsigned t = 0; t <= 0xFF; ++t) {
            const unsigned char pair[2] = {static_cast<unsigned char>(b),
                                           static_cast<unsigned char>(t)};
            Utf8Char& c = table.pairs[(b - 0x80) * 256 + t];
            const Converted r = ConvertAlone(cd, pair, 2, c);
            if (r == Converted::kIncomplete || r == Converted::kOther) return CodePageTable();
        }
    }
    table.bUsable = true;
    return table;
}

// The table of this process's code page (built on first use, by whichever thread comes first).
const CodePageTable& Table(iconv_t cd) {
    static const CodePageTable table = BuildTable(cd);
    return table;
}

void AppendByTable(const CodePageTable& table, std::string_view bytes, std::string& out) {
    static const char kHex[] = "0123456789ABCDEF";
    // Room for the longest outcome (every byte escaped, four characters each); the unused end
    // is cut off after.
    const std::size_t base = out.size();
    out.resize(base + bytes.size() * 4);
    char* o = out.data() + base;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    while (p < end) {
        // Runs of ASCII eight bytes at a time.
        std::uint64_t eight;
        if (end - p >= 8 && (std::memcpy(&eight, p, 8), (eight & 0x8080808080808080ull) == 0)) {
            std::memcpy(o, p, 8);
            o += 8;
            p += 8;
            continue;
        }
        const unsigned char b = *p;
        if (b < 0x80) {
            *o++ = static_cast<char>(b);
            ++p;
            continue;
        }
        const Utf8Char* c = nullptr;
        std::size_t used = 1;
        if (!table.lead[b - 0x80]) {
            c = &table.single[b - 0x80];
        } else if (end - p >= 2) {
            c = &table.pairs[(b - 0x80) * 256 + p[1]];
            used = 2;
        }
        if (c && c->nLength != 0) {
            std::memcpy(o, c->bytes, 4);  // within the room: at least four bytes a byte read
            o += c->nLength;
            p += used;
        } else {
            // Shown as an escape; decoding resumes with the next byte.
            *o++ = '\\';
            *o++ = 'x';
            *o++ = kHex[b >> 4];
            *o++ = kHex[b & 15];
            ++p;
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
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
    const CodePageTable& table = Table(cd);
    if (table.bUsable) {
        AppendByTable(table, bytes, out);
        return;
    }
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
