// Fuzz target: dot-command line splitting and backslash escapes. Any input must split within
// its own bytes, into ordered, non-overlapping arguments, and escapes must never lengthen text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "tavrin/shell/arguments.h"

using fuzz_support::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<char> line(data, data + size);
    line.push_back('\0');
    const std::size_t length = std::strlen(line.data());
    char* begin = line.data();
    char* end = begin + length;

    char* azArg[shell::kMaxArguments];
    int n = shell::splitArguments(begin, azArg);
    check(n >= 0 && n <= shell::kMaxArguments);
    const char* previousEnd = begin;
    for (int i = 0; i < n; ++i) {
        check(azArg[i] >= previousEnd && azArg[i] <= end);
        std::size_t argLength = std::strlen(azArg[i]);
        check(azArg[i] + argLength <= end);
        previousEnd = azArg[i] + argLength;
    }

    std::vector<char> text(data, data + size);
    text.push_back('\0');
    const std::size_t before = std::strlen(text.data());
    const bool hasBackslash = std::memchr(text.data(), '\\', before) != nullptr;
    std::vector<char> original(text);
    shell::resolveEscapes(text.data());
    std::size_t after = std::strlen(text.data());
    check(after <= before);
    if (!hasBackslash) check(std::strcmp(text.data(), original.data()) == 0);
    return 0;
}
