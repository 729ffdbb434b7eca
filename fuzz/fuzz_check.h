// What every fuzz target uses to state a property: a broken one ends the run at once, so the
// fuzzer keeps the input that broke it.
#pragma once

#include <cstdlib>

namespace fuzz_support {

inline void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace fuzz_support
