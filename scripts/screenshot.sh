#!/usr/bin/env bash
# Takes a screenshot of Tavrin's main window in each language under a virtual X server.
# Usage: scripts/screenshot.sh [OUTPUT_FOLDER]   (default: build/screenshots)
# Builds Tavrin and its language modules first if needed (build folder: $BUILD_DIR or build).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
OUT=${1:-$BUILD_DIR/screenshots}

for tool in xvfb-run import; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/setup.sh" >&2; exit 1; }
done

if [ ! -f "$BUILD_DIR/build.ninja" ] && [ ! -f "$BUILD_DIR/Makefile" ]; then
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja >/dev/null
fi
if ! log=$(cmake --build "$BUILD_DIR" --target Tavrin lang_modules 2>&1); then
    echo "$log" | tail -20 >&2
    echo "building Tavrin failed" >&2
    exit 1
fi

mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
# A private working folder (code.ini lands there) and runtime folder (the single-instance lock),
# so a Tavrin the user is running does not stop the screenshot.
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -m 0700 "$WORK/runtime"

shoot() {  # shoot LOCALE FILE
    local locale=$1 file=$2
    (cd "$WORK" && LANG=$locale LC_ALL= LC_MESSAGES= XDG_RUNTIME_DIR="$WORK/runtime" \
        QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1360x800x24" \
        bash -c '"$1" >/dev/null 2>&1 & pid=$!
                 sleep 4
                 import -window root "$2"
                 kill -KILL $pid 2>/dev/null; wait $pid 2>/dev/null || true' \
        _ "$BUILD_DIR/bin/Tavrin" "$file")
}

shoot zh_CN.UTF-8 "$OUT/tavrin-zh.png"
shoot en_US.UTF-8 "$OUT/tavrin-en.png"
echo "Screenshots:"
echo "  $OUT/tavrin-zh.png"
echo "  $OUT/tavrin-en.png"
