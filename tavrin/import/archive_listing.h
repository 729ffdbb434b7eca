// What a package declares before it is unpacked: the sizes of its entries, read from the
// archiver's technical listing. A tar archive can hold a sparse member whose unpacked size is
// thousands of times its own, so the free-space check also weighs what unpacking will write.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace package_import {

// Sum of the "Size = N" lines of the entries in a "7z l -slt" listing (the lines after the
// "----------" that ends the archive's own block). Saturates instead of overflowing. A line
// that is not a plain decimal number is skipped.
std::uint64_t DeclaredUnpackedSize(std::string_view listing);

struct SDeclaredSize {
    enum EState {
        kKnown,    // the listing ran to its end: nBytes is what unpacking writes
        kUnknown,  // the archiver could not list the whole file (not a tar, cut short, cannot
                   // start): unpacking will say so itself; nBytes counts what was listed
        kCutOff,   // the listing ran past its time or output bound, or was stopped: the size
                   // cannot be vouched for
    };
    EState eState = kUnknown;
    std::uint64_t nBytes = 0;
};

// Runs "{archiver} l -slt -ttar -spd ARCHIVE" (a path beginning with '-' gets "./" in front),
// reading at most 32 MiB of its output within 30 s; shouldStop (may be empty) is asked about
// ten times a second and true kills the listing (kCutOff). Blocks the calling thread; any
// thread.
SDeclaredSize ReadDeclaredSize(const std::string& archiverPath, const std::string& archive,
                               const std::function<bool()>& shouldStop = {});

// True when freeBytes is strictly greater than what unpacking declares it will write.
bool UnpackedSizeFits(std::uint64_t declaredBytes, std::uint64_t freeBytes);

}  // namespace package_import
