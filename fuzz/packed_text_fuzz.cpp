// Fuzz target: the index's packed texts. Any bytes unpack to exactly the size asked for or
// are refused (never a read or write outside the input or output), and any text packs into
// bytes that unpack to it again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "tavrin/find/block_codec.h"

using fuzz_support::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first two bytes are the size asked for, the rest the packed bytes (and the text).
    const std::size_t wanted = data[0] | static_cast<std::size_t>(data[1]) << 8;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    std::string out;
    if (session_index::UnpackText(bytes, wanted, out)) check(out.size() == wanted);
    static session_index::CBlockPacker packer;
    std::string packed;
    packer.Pack(bytes, packed);
    check(session_index::UnpackText(packed, bytes.size(), out) && out == bytes);
    return 0;
}
