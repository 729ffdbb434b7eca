#!/usr/bin/env bash
# Shows an import behind its progress window under a virtual X server: Tavrin is started on a
# generated package of about 300 MB, a screenshot is taken while the package unpacks and loads
# (the window behind keeps repainting), then Escape cancels the import and the script checks
# that the work folder is gone before Tavrin gets SIGTERM.
#
# Usage: scripts/screenshot-import.sh [BUILD_DIR] [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${1:-build}
OUT=${2:-$PWD/$BUILD/sample/import-progress.png}
cmake -S . -B "$BUILD" -G Ninja >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target Tavrin tavrin_program_folder >/dev/null
mkdir -p "$(dirname "$OUT")" "$BUILD/sample-large"
PACKAGE=$(ls "$BUILD"/sample-large/*.tar 2>/dev/null | head -1 || true)
if [ -z "$PACKAGE" ]; then
    PACKAGE=$(python3 scripts/make_sample_package.py --out "$BUILD/sample-large" --size-mb 300 \
        --prefix large)
fi
NAME=$(basename "$PACKAGE" .tar)
rm -rf -- "${BUILD:?}/bin/$NAME"

xvfb-run -a -s "-screen 0 1300x800x24" bash -c '
    set -e
    LANG=en_US.UTF-8 "$1/bin/Tavrin" "$2" >/dev/null 2>&1 &
    tavrin=$!
    sleep "${IMPORT_SHOT_DELAY:-2.5}"
    import -window root "$3"
    python3 scripts/xtest_input.py key:Escape sleep:3
    if [ -e "$1/bin/$4" ]; then
        echo "the work folder is still there after Escape (the import had ended?)"
    else
        echo "Escape cancelled the import: the work folder is gone, Tavrin still runs"
    fi
    kill -0 "$tavrin"
    kill -TERM "$tavrin"
    wait "$tavrin" 2>/dev/null || true
' screenshot-import "$BUILD" "$PACKAGE" "$OUT" "$NAME"

status=0
if [ -e "$BUILD/bin/$NAME" ]; then echo "work folder left behind: $BUILD/bin/$NAME"; status=1; fi
echo "Screenshot: $OUT"
exit $status
