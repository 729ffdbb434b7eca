#!/usr/bin/env bash
# Takes a screenshot of a search in "Find in sessions…" on a 1280x800 virtual X screen: Tavrin
# imports the bundled sample package, its text index is built, then Ctrl+Shift+F opens the
# window, the text is typed and Enter searches (keys through the X test extension, libXtst).
# Usage: scripts/screenshot-find.sh [OUT.png]   (default: build/screenshots/find-en.png)
# FIND_TEXT: the text typed (default "cat /etc/passwd"; letters, digits, blanks and . / - _).
# FIND_LANG=zh takes the Chinese module. SHOT_DELAY: seconds for the import and the index
# (default 12). Build folder: $BUILD_DIR or build.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
. "$ROOT/scripts/virtual_screen.sh"
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
OUT=$(realpath -m "${1:-$BUILD_DIR/screenshots/find-en.png}")
DELAY=${SHOT_DELAY:-12}
TEXT=${FIND_TEXT:-cat /etc/passwd}
LOCALE=en_US.UTF-8
[ "${FIND_LANG:-en}" = zh ] && LOCALE=zh_CN.UTF-8

for tool in xvfb-run import python3; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/setup.sh" >&2; exit 1; }
done
if ! log=$(cmake --build "$BUILD_DIR" --target Tavrin tavrin_program_folder 2>&1); then
    echo "$log" | tail -20 >&2
    echo "building Tavrin failed" >&2
    exit 1
fi
mkdir -p "$(dirname "$OUT")"

# A private working, settings and runtime folder, so a Tavrin the user runs is not disturbed.
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -m 0700 "$WORK/runtime"
PACKAGE=$(python3 "$ROOT/scripts/make_sample_package.py" --out "$WORK/sample")
NAME=$(basename "$PACKAGE" .tar)
rm -rf -- "${BUILD_DIR:?}/bin/$NAME"

(cd "$WORK" && LANG=$LOCALE LC_ALL= LC_MESSAGES= XDG_RUNTIME_DIR="$WORK/runtime" \
    XDG_CONFIG_HOME="$WORK/config" QT_QPA_PLATFORM=xcb \
    run_on_virtual_screen 1280x800 "$OUT" '"$1" "$2" >/dev/null 2>&1' '
    sleep "$3"
    # No window manager activates the main window again once the progress window of the
    # import has gone: a click on the "Filters" caption does.
    python3 "$4" click:30:91 sleep:0.5 key:Control_L+Shift_L+f sleep:1 "type:$5" key:Return ||
        echo "could not type the find text" >&2
    sleep 2' \
    "$BUILD_DIR/bin/Tavrin" "$PACKAGE" "$DELAY" "$ROOT/scripts/xtest_input.py" "$TEXT")
rm -rf -- "${BUILD_DIR:?}/bin/$NAME"
echo "screenshot: $OUT"
