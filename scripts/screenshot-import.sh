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
. scripts/tavrin_scene.sh
build_for_scene "$BUILD" Tavrin tavrin_program_folder
mkdir -p "$(dirname "$OUT")" "$BUILD/sample-large"
PACKAGE=$(ls "$BUILD"/sample-large/*.tar 2>/dev/null | head -1 || true)
if [ -z "$PACKAGE" ]; then
    PACKAGE=$(python3 scripts/make_sample_package.py --out "$BUILD/sample-large" --size-mb 300 \
        --prefix large)
fi

play_tavrin_scene "$BUILD" "$PACKAGE" '
    # The 300 MB package is past its Parent.db load about a second after the start.
    sleep "${IMPORT_SHOT_DELAY:-0.7}"
    import -window root "$1"
    python3 scripts/xtest_input.py key:Escape sleep:3
    if [ -e "$build/bin/$(basename "$package" .tar)" ]; then
        echo "the work folder is still there after Escape (the import had ended?)"
    else
        echo "Escape cancelled the import: the work folder is gone, Tavrin still runs"
    fi
    kill -0 "$tavrin"
' "$OUT"

status=0
work_folder_gone "$BUILD" "$PACKAGE" || status=1
echo "Screenshot: $OUT"
exit $status
