#!/usr/bin/env bash
# Builds the project twice (plain, and with AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs the whole test suite through ctest in each build.
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS=$(nproc)
export QT_QPA_PLATFORM=offscreen

build() {  # build DIR [cmake options...]
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
}

echo "== sanitizer build (address, undefined)"
build build-asan -DTAVRIN_SANITIZE=address
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp" \
    ctest --test-dir build-asan --output-on-failure -j "$JOBS" --timeout 300

echo "== plain build"
build build
ctest --test-dir build --output-on-failure -j "$JOBS" --timeout 300
