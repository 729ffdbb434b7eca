#!/usr/bin/env bash
# Takes a screenshot of Tavrin's main window in each language on a 1280x800 virtual X screen,
# with the bundled sample package imported, so that the pictures show a page of 15 sessions.
# Usage: scripts/screenshot.sh [OUTPUT_FOLDER]   (default: build/screenshots)
# Builds Tavrin and its language modules first if needed (build folder: $BUILD_DIR or build).
# SHOT_DELAY: seconds between the start and the picture (default 8).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
. "$ROOT/scripts/virtual_screen.sh"
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
OUT=${1:-$BUILD_DIR/screenshots}
DELAY=${SHOT_DELAY:-8}

for tool in xvfb-run import python3; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/setup.sh" >&2; exit 1; }
done

if [ ! -f "$BUILD_DIR/build.ninja" ] && [ ! -f "$BUILD_DIR/Makefile" ]; then
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja >/dev/null
fi
if ! log=$(cmake --build "$BUILD_DIR" --target Tavrin tavrin_program_folder 2>&1); then
    echo "$log" | tail -20 >&2
    echo "building Tavrin failed" >&2
    exit 1
fi

mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
# A private working folder (code.ini and the settings land there) and runtime folder (the
# single-instance lock), so a Tavrin the user is running does not stop the screenshot.
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -m 0700 "$WORK/runtime"
PACKAGE=$(python3 "$ROOT/scripts/make_sample_package.py" --out "$WORK/sample")
NAME=$(basename "$PACKAGE" .tar)

shoot() {  # shoot LOCALE FILE
    local locale=$1 file=$2
    # A work folder left by an interrupted run would make Tavrin open it instead of importing.
    rm -rf -- "${BUILD_DIR:?}/bin/$NAME"
    (cd "$WORK" && LANG=$locale LC_ALL= LC_MESSAGES= XDG_RUNTIME_DIR="$WORK/runtime" \
        XDG_CONFIG_HOME="$WORK/config" QT_QPA_PLATFORM=xcb \
        run_on_virtual_screen 1280x800 "$file" '"$1" "$2" >/dev/null 2>&1' 'sleep "$3"' \
        "$BUILD_DIR/bin/Tavrin" "$PACKAGE" "$DELAY")
    rm -rf -- "${BUILD_DIR:?}/bin/$NAME"
}

shoot zh_CN.UTF-8 "$OUT/tavrin-zh.png"
shoot en_US.UTF-8 "$OUT/tavrin-en.png"
echo "Screenshots:"
echo "  $OUT/tavrin-zh.png"
echo "  $OUT/tavrin-en.png"
