#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (in build-fuzz/, or $FUZZ_BUILD_DIR) and runs each
# one for a bounded time, starting from its committed seed corpus under fuzz/corpus/.
#
#   scripts/fuzz.sh                 every fuzzer for 10 s (FUZZ_SECONDS overrides)
#   scripts/fuzz.sh --long          every fuzzer for 10 minutes
#   scripts/fuzz.sh [--long] NAME…  only the named fuzzers (e.g. dump_rewrites ipv4_check)
#
# New inputs the fuzzer finds go to a scratch corpus under the build folder, never into the
# committed seeds. A crash leaves its input as build-fuzz/fuzz/artifacts/crash-* and the
# script exits non-zero; add such an input to the seed corpus once the fault is mended, so
# the replay tests keep checking it. TAVRIN_WERROR=ON in the environment (scripts/test.sh
# sets it) builds with warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_EACH=${FUZZ_SECONDS:-10}
if [[ ${1:-} == --long ]]; then
    SECONDS_EACH=${FUZZ_SECONDS:-600}
    shift
fi
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
TARGETS=("$@")
if [[ ${#TARGETS[@]} -eq 0 ]]; then
    for dir in fuzz/corpus/*/; do TARGETS+=("$(basename "$dir")"); done
fi

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTAVRIN_FUZZ=ON \
    -DTAVRIN_WERROR="${TAVRIN_WERROR:-OFF}" >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target "${TARGETS[@]/#/fuzz_}"

mkdir -p "$BUILD/fuzz/artifacts" "$BUILD/fuzz/tmp"
# Targets that need scratch files make them here, not in the system's temporary folder.
export TMPDIR="$(cd "$BUILD/fuzz/tmp" && pwd)"
failed=()
for target in "${TARGETS[@]}"; do
    scratch="$BUILD/fuzz/scratch/$target"
    mkdir -p "$scratch"
    echo "== fuzz_$target for ${SECONDS_EACH}s"
    if ! UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$BUILD/fuzz/fuzz_$target" -max_total_time="$SECONDS_EACH" -timeout=10 \
            -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
            -artifact_prefix="$BUILD/fuzz/artifacts/$target-" \
            "$scratch" "fuzz/corpus/$target" 2>"$BUILD/fuzz/$target.log"; then
        failed+=("$target")
        tail -40 "$BUILD/fuzz/$target.log"
    else
        grep -E 'stat::number_of_executed_units|stat::new_units_added' "$BUILD/fuzz/$target.log" |
            tr '\n' ' '
        echo
    fi
done
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "fuzzers that failed: ${failed[*]} (inputs in $BUILD/fuzz/artifacts/)" >&2
    exit 1
fi
