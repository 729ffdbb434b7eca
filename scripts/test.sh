#!/usr/bin/env bash
# Checks the formatting of every source first (seconds), then builds the project with
# AddressSanitizer + UndefinedBehaviorSanitizer and plain, warnings as errors, and runs the
# whole test suite through ctest in each build; in between, the threaded tests (background
# loader beside the user-interface thread, close during a load, the ticker) run in a
# ThreadSanitizer build of just their test programs, and every fuzzer runs for a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS=$(nproc)
export QT_QPA_PLATFORM=offscreen
# Every build of this script treats a compiler warning as an error (the fuzzers' too).
export TAVRIN_WERROR=ON

# Each step says how long it took: CI has a time budget, and these show where it goes.
STEP=
STEP_START=$SECONDS
step() {
    [ -z "$STEP" ] || echo "== $STEP: $((SECONDS - STEP_START)) s"
    STEP=$1
    STEP_START=$SECONDS
    [ -z "$STEP" ] || echo "== $STEP"
}

# Warnings are errors in every build, the sanitizer builds included.
# The sanitizer builds compile at -O1 with line tables only (-g1): their reports still name file
# and line, and they build in much less time than at -O2 with full debug information. NDEBUG
# stays, as in the plain build, so every build checks the same code.
SANITIZER_FLAGS=(-DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG")
# Every build compiles its sources eight to a unity batch (cmake/unity_build.cmake): GoogleTest,
# Qt and the standard headers are read once a batch, which halves the compile time. The run
# command (scripts/run-sample.sh) builds the same way, so the plain build reuses its programs.
# TAVRIN_UNITY=OFF builds file by file (to find which file breaks a batch).
UNITY=-DCMAKE_UNITY_BUILD=${TAVRIN_UNITY:-ON}
build() {  # build DIR [cmake options...] [--target TARGET...]; warnings are errors unless WERROR=OFF
    local dir=$1; shift
    local options=() targets=()
    while (($#)); do
        if [ "$1" = --target ]; then shift; targets=("$@"); break; fi
        options+=("$1"); shift
    done
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_WERROR="${WERROR:-ON}" \
        "$UNITY" "${options[@]}" >/dev/null
    if ((${#targets[@]})); then
        cmake --build "$dir" -j "$JOBS" --target "${targets[@]}"
    else
        cmake --build "$dir" -j "$JOBS"
    fi
}

step "format check"
bash scripts/check-format.sh

step "sanitizer build (address, undefined)"
build build-asan -DTAVRIN_SANITIZE=address "${SANITIZER_FLAGS[@]}"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp" \
    ctest --test-dir build-asan --output-on-failure -j "$JOBS" --timeout 300

step "thread sanitizer build (threaded tests)"
build build-tsan -DTAVRIN_SANITIZE=thread "${SANITIZER_FLAGS[@]}" \
    --target workspace_tests dispatch_ui_tests ui_tests import_ui_tests lang_modules \
    tavrin_table_sql tavrin_program_folder \
    Ondrix OndrixS Rivosk Tessiv Fennic Morvel player_probe find_tests find_ui_tests \
    import_tests tavrin-import
TSAN_OPTIONS="suppressions=$PWD/scripts/tsan.supp halt_on_error=1" \
    ctest --test-dir build-tsan --output-on-failure -j "$JOBS" --timeout 300 \
    -R '^(InsertWorker|SqlLoader|PlayersDialogTest|TickerTest|TimeThread|MainDialogTest\.RunningTicker|ImportDialogTest|ImportStopTest|IndexRunnerTest|FindList|FindWindowTest)\.|^PackageImportTest\.(FirstTable|LaterDumps|TwoRun)'

step "fuzzers (libFuzzer, a few seconds each)"
FUZZ_SECONDS=${FUZZ_SECONDS:-5} bash scripts/fuzz.sh

step "plain build"
build build
ctest --test-dir build --output-on-failure -j "$JOBS" --timeout 300
step ""
echo "== all steps: $SECONDS s"
