#!/usr/bin/env bash
# The session text index benchmark: a package of about 1,000,000 scan lines (utm2dba's files
# and ".scan" files of 20,400 graphical sessions) and 100,000 terminal rows, generated once
# with a fixed seed into build-bench/bench-data/index, imported and indexed by
# bench/index_bench.cpp, which prints the times and sizes side by side.
#
#   bash bench/index.sh            # full size
#   bash bench/index.sh --smoke    # a small package, to see that it works
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${TAVRIN_BENCH_BUILD:-$PWD/build-bench}
SESSIONS=20400
ROWS=100000
if [ "${1:-}" = "--smoke" ]; then SESSIONS=200; ROWS=2000; fi

if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" -j 2 --target index_bench tavrin_table_sql tavrin_program_folder >/dev/null

DATA=$BUILD/bench-data/index-$SESSIONS-$ROWS
if [ ! -f "$DATA/done" ]; then
    rm -rf "$DATA"
    python3 scripts/make_sample_package.py --out "$DATA" --sessions "$SESSIONS" \
        --session-files "$SESSIONS" --terminal-rows "$ROWS" --child-sessions 200 >/dev/null
    touch "$DATA/done"
fi
PACKAGE=$(ls "$DATA"/*.tar)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/index-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
"$BUILD/bench/index_bench" "$PACKAGE" "$BUILD/bin" "$WORK/program" >"$WORK/console.log"
sed -n "/== Session text index ==/,\$p" "$WORK/console.log" | grep -av "^\$"
