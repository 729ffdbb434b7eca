// Fuzz target: the terminal-size records read from a package's child.db. A record is package
// data: any bytes must give a size without overflow, and a field that is plainly a number must
// be read as that number.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "tavrin/dispatch/player_launch.h"

using fuzz_support::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);

    dispatch::STerminalSize plain = dispatch::ParsePlainSizeRecord(input);
    // At most five characters per field: never more than five digits.
    check(plain.nHeight >= -99999 && plain.nHeight <= 99999);
    check(plain.nWidth >= -99999 && plain.nWidth <= 99999);
    dispatch::ParseFieldSizeRecord(input);

    // Two small numbers written in each form come back as written, whatever precedes them.
    if (size >= 2) {
        const int height = data[0];
        const int width = data[1];
        char record[16];
        std::snprintf(record, sizeof record, "%5d%5d", height, width);
        dispatch::STerminalSize read =
            dispatch::ParsePlainSizeRecord(std::string(record) + std::string(input));
        check(read.nHeight == height && read.nWidth == width);

        std::string fields = std::to_string(height) + " " + std::to_string(width) + " ";
        std::string padded(58 - fields.size(), 'x');
        std::string text = std::string(input) + fields + padded;
        read = dispatch::ParseFieldSizeRecord(text);
        check(read.nHeight == height && read.nWidth == width);
        read = dispatch::ParseFieldSizeRecord(std::string(input) + fields + padded.substr(2) +
                                              "\\r\\n");
        check(read.nHeight == height && read.nWidth == width);
    }
    return 0;
}
