#!/usr/bin/env bash
# Builds the programs, writes the bundled sample package and starts Tavrin on it.
#
# With a display (DISPLAY or WAYLAND_DISPLAY set) Tavrin opens its window on the sample and
# runs until it is closed. Without one the script says so, runs Tavrin under a virtual X
# server on the same package, saves a screenshot of the window with the sessions listed and
# prints where the picture is.
#
# Environment: BUILD_DIR (default build), SCREENSHOT (picture path), SHOT_DELAY (seconds to
# wait before the picture, default 6), LANG (zh_CN.UTF-8 for the Chinese module).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${BUILD_DIR:-build}
# The same build type and options as the test command's plain build, which then reuses these
# programs (unity batches: see scripts/test.sh).
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_WERROR=ON \
    -DCMAKE_UNITY_BUILD="${TAVRIN_UNITY:-ON}" >/dev/null
# Tavrin with its language modules, table.sql and the archiver link; the players and Morvel
# too when the build has them, so double-clicks work.
# The list is read whole first: grep -q on a pipe from cmake ends the pipe early, and under
# pipefail cmake's broken pipe would drop a target at random.
targets="Tavrin tavrin_program_folder"
available=$(cmake --build "$BUILD" --target help 2>/dev/null || true)
for t in Morvel Ondrix OndrixS Rivosk Tessiv Fennic; do
    if grep -q "^$t:" <<<"$available"; then targets="$targets $t"; fi
done
# shellcheck disable=SC2086
cmake --build "$BUILD" -j "$(nproc)" --target $targets >/dev/null

SAMPLE_DIR="$BUILD/sample"
PACKAGE=$(python3 scripts/make_sample_package.py --out "$SAMPLE_DIR")
NAME=$(basename "$PACKAGE" .tar)
# A work folder left by an interrupted run would make Tavrin open it instead of importing.
rm -rf -- "${BUILD:?}/bin/$NAME"
echo "Sample package: $PACKAGE"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$BUILD/bin/Tavrin" "$PACKAGE"
fi

SHOT=${SCREENSHOT:-$PWD/$SAMPLE_DIR/tavrin-sample.png}
DELAY=${SHOT_DELAY:-6}
echo "No display (DISPLAY and WAYLAND_DISPLAY are not set): running Tavrin under a virtual" \
     "X server and taking a screenshot."
LOG=$PWD/$SAMPLE_DIR/tavrin-sample.log
rm -f -- "$SHOT"
# A Tavrin that ended before the picture (a missing library or platform plugin) would leave
# a picture of an empty screen: that fails, with Tavrin's output.
status=0
xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
    "$1" "$2" > "$5" 2>&1 &
    pid=$!
    sleep "$4"
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        echo "Tavrin ended before the screenshot (exit status $?)" >&2
        exit 1
    fi
    import -window root "$3"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
' run-sample "$BUILD/bin/Tavrin" "$PACKAGE" "$SHOT" "$DELAY" "$LOG" || status=$?
rm -rf -- "${BUILD:?}/bin/$NAME"
if [ "$status" -ne 0 ] || [ ! -s "$SHOT" ]; then
    tail -20 "$LOG" >&2
    echo "No screenshot: the run failed (Tavrin's output: $LOG)" >&2
    exit 1
fi
echo "Screenshot: $SHOT"
