#!/usr/bin/env bash
# Shows the whole road from Tavrin to Morvel under a virtual X server: Tavrin imports the
# sample package, the audit type is switched to graphical sessions, a double-click on column 9
# of the first row starts Morvel with that session, and a screenshot shows Morvel's scan lines
# over Tavrin's list. Then Tavrin gets SIGTERM, and the script checks that Morvel was stopped,
# the work folder deleted and the registry left empty.
#
# Usage: scripts/screenshot-dispatch.sh [BUILD_DIR] [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${1:-build}
OUT=${2:-$PWD/$BUILD/sample/tavrin-to-morvel.png}
. scripts/tavrin_scene.sh
build_for_scene "$BUILD" Tavrin Morvel tavrin_program_folder
mkdir -p "$(dirname "$OUT")"
PACKAGE=$(python3 scripts/make_sample_package.py --out "$BUILD/sample")

play_tavrin_scene "$BUILD" "$PACKAGE" '
    sleep 8
    # The audit-type combo, its first entry (graphical sessions), then column 9 of row 0.
    python3 scripts/xtest_input.py click:230:122 sleep:0.5 key:Home key:Return sleep:1.5 \
        dbl:1165:262 sleep:3
    import -window root "$1"
    pgrep -x Morvel >/dev/null && echo "Morvel is running: $(pgrep -ax Morvel)"
' "$OUT"

sleep 1
status=0
if pgrep -x Morvel >/dev/null; then echo "Morvel still runs after Tavrin ended"; status=1; fi
work_folder_gone "$BUILD" "$PACKAGE" || status=1
if [ -n "$(ls -A "$BUILD/bin/processid")" ]; then echo "registry not empty"; status=1; fi
echo "Screenshot: $OUT"
exit $status
