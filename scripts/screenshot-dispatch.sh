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
cmake -S . -B "$BUILD" -G Ninja >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target Tavrin Morvel tavrin_program_folder >/dev/null
mkdir -p "$(dirname "$OUT")"
PACKAGE=$(python3 scripts/make_sample_package.py --out "$BUILD/sample")
NAME=$(basename "$PACKAGE" .tar)
rm -rf -- "${BUILD:?}/bin/$NAME"

xvfb-run -a -s "-screen 0 1300x800x24" bash -c '
    set -e
    LANG=en_US.UTF-8 "$1/bin/Tavrin" "$2" >/dev/null 2>&1 &
    tavrin=$!
    sleep 8
    # The audit-type combo, its first entry (graphical sessions), then column 9 of row 0.
    python3 scripts/xtest_input.py click:230:122 sleep:0.5 key:Home key:Return sleep:1.5 \
        dbl:1165:262 sleep:3
    import -window root "$3"
    pgrep -x Morvel >/dev/null && echo "Morvel is running: $(pgrep -ax Morvel)"
    kill -TERM "$tavrin"
    wait "$tavrin" 2>/dev/null || true
' screenshot-dispatch "$BUILD" "$PACKAGE" "$OUT"

sleep 1
status=0
if pgrep -x Morvel >/dev/null; then echo "Morvel still runs after Tavrin ended"; status=1; fi
if [ -e "$BUILD/bin/$NAME" ]; then echo "work folder left behind: $BUILD/bin/$NAME"; status=1; fi
if [ -n "$(ls -A "$BUILD/bin/processid")" ]; then echo "registry not empty"; status=1; fi
echo "Screenshot: $OUT"
exit $status
