#include "tavrin/import/archive_listing.h"

#include <limits>
#include <vector>

#include "platform/process_output.h"

namespace package_import {

namespace {

constexpr std::size_t kMaxListingBytes = 32u << 20;
constexpr int kListingTimeoutMs = 30000;

// The decimal number that is the whole of text, or nothing.
bool ParseDecimal(std::string_view text, std::uint64_t& value) {
    if (text.empty()) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
            value = std::numeric_limits<std::uint64_t>::max();
            return true;
        }
        value = value * 10 + digit;
    }
    return true;
}

}  // namespace

std::uint64_t DeclaredUnpackedSize(std::string_view listing) {
    constexpr std::string_view kSizeKey = "Size = ";
    std::uint64_t total = 0;
    bool inEntries = false;
    size_t pos = 0;
    while (pos < listing.size()) {
        size_t end = listing.find('\n', pos);
        if (end == std::string_view::npos) end = listing.size();
        std::string_view line = listing.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line == "----------") {
            inEntries = true;
            continue;
        }
        if (!inEntries || line.substr(0, kSizeKey.size()) != kSizeKey) continue;
        std::uint64_t size = 0;
        if (!ParseDecimal(line.substr(kSizeKey.size()), size)) continue;
        total = size > std::numeric_limits<std::uint64_t>::max() - total
                    ? std::numeric_limits<std::uint64_t>::max()
                    : total + size;
    }
    return total;
}

SDeclaredSize ReadDeclaredSize(const std::string& archiverPath, const std::string& archive,
                               const std::function<bool()>& shouldStop) {
    const std::string path = !archive.empty() && archive[0] == '-' ? "./" + archive : archive;
    platform::CapturedOutput out =
        platform::RunAndCaptureOutput(archiverPath, {"7z", "l", "-slt", "-ttar", "-spd", path},
                                      kMaxListingBytes, kListingTimeoutMs, shouldStop);
    SDeclaredSize result;
    if (!out.started) return result;
    if (out.timedOut || out.text.size() >= kMaxListingBytes) {
        result.eState = SDeclaredSize::kCutOff;
        return result;
    }
    // A listing that ends in an error (an archive cut short) still counts what it listed:
    // a member it did list is unpacked all the same.
    result.nBytes = DeclaredUnpackedSize(out.text);
    if (out.exitStatus == 0) result.eState = SDeclaredSize::kKnown;
    return result;
}

bool UnpackedSizeFits(std::uint64_t declaredBytes, std::uint64_t freeBytes) {
    return freeBytes > declaredBytes;
}

}  // namespace package_import
