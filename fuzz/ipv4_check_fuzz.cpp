// Fuzz target: the address filter check, compared with a plain reading of its rule: four
// dot-separated decimal parts without leading zeros, the first and last 1 to 254, the middle
// two 0 to 255, nothing before or after.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "tavrin/browser/ipv4_check.h"

using fuzz_support::check;

namespace {

bool ReadPart(std::string_view part, int low, int high) {
    if (part.empty() || part.size() > 3) return false;
    if (part.size() > 1 && part[0] == '0') return false;
    int value = 0;
    for (char c : part) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value >= low && value <= high;
}

bool PlainRule(std::string_view text) {
    std::string_view parts[4];
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        std::size_t dot = text.find('.', start);
        if ((i < 3) == (dot == std::string_view::npos)) return false;
        parts[i] = text.substr(start, i < 3 ? dot - start : std::string_view::npos);
        start = dot + 1;
    }
    return ReadPart(parts[0], 1, 254) && ReadPart(parts[1], 0, 255) && ReadPart(parts[2], 0, 255) &&
           ReadPart(parts[3], 1, 254);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The pattern is compiled on every call; long inputs only slow the fuzzer down.
    if (size > 64) return 0;
    std::string input(reinterpret_cast<const char*>(data), size);
    check(browser::IsValidIpv4(input) == PlainRule(input));
    return 0;
}
