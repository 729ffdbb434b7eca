#!/usr/bin/env bash
# The session text index benchmark: a package of about 1,000,000 scan lines (utm2dba's files
# and ".scan" files of 20,400 graphical sessions) and 100,000 terminal rows, generated once
# with a fixed seed into build-bench/bench-data/index, imported and indexed by
# bench/index_bench.cpp, which prints the times and sizes side by side. The import and the
# index run as processes of their own, each under /usr/bin/time for its peak memory.
#
#   bash bench/index.sh            # full size
#   bash bench/index.sh --smoke    # a small package, to see that it works
#   bash bench/index.sh --rounds 5 # then four more imports, each indexed: the build / import
#                                  # ratio of every round and their median
#
# The import's time swings several-fold with how much memory the VM has handed back (7-Zip
# writes 100,000 small files), the build's much less: one round's ratio says little, the
# median of rounds taken in turn says what the index adds.
# With TAVRIN_INDEX_BASELINE=/path/to/an/older/index_bench, that build indexes the same import
# first (its figures under "baseline"), so that two builds compare in one run on one machine state.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${TAVRIN_BENCH_BUILD:-$PWD/build-bench}
SESSIONS=20400
ROWS=100000
ROUNDS=1
while (($#)); do
    case $1 in
    --smoke) SESSIONS=200; ROWS=2000 ;;
    --rounds) ROUNDS=$2; shift ;;
    *) echo "usage: bash bench/index.sh [--smoke] [--rounds N]" >&2; exit 2 ;;
    esac
    shift
done

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
peak() { awk 'END { printf "%.1f MB", $1 / 1024 }' "$1"; }
ratio() { awk -v b="$1" -v w="$2" 'BEGIN { printf "%.2f", b / w }'; }
# A fresh import of the package into $WORK/program: sets WALL CPU UNPACK (seconds) and FOLDER.
import_package() {
    rm -rf "$WORK/program"
    /usr/bin/time -f %M -o "$WORK/import.rss" "$BUILD/bench/index_bench" --import "$PACKAGE" \
        "$BUILD/bin" "$WORK/program" >"$WORK/import.log"
    read -r _ WALL CPU UNPACK < <(grep -a "^import " "$WORK/import.log")
    FOLDER=$(grep -a "^work " "$WORK/import.log" | cut -c6-)
}
import_package
echo "import peak memory         $(peak "$WORK/import.rss") (the archiver included)"
index() {  # LABEL BINARY [IMPORT FIGURES]
    /usr/bin/time -f %M -o "$WORK/index.rss" "$2" --index-only "$FOLDER" "${@:3}" \
        >"$WORK/index.log"
    echo "== $1 =="
    sed -n "/== Session text index ==/,\$p" "$WORK/index.log" | grep -av "^\$" | tail -n +2
    echo "index and searches peak memory  $(peak "$WORK/index.rss")"
}
# An older build may not take the import's figures: it gets the folder alone.
if [ -n "${TAVRIN_INDEX_BASELINE:-}" ]; then index baseline "$TAVRIN_INDEX_BASELINE"; fi
index "this build" "$BUILD/bench/index_bench" "$WALL" "$CPU" "$UNPACK"

# The further rounds: a fresh import each time, then the build alone.
built() { grep -a "^index build " "$1" | awk '{print $3}'; }  # seconds, from a log
RATIOS=$(ratio "$(built "$WORK/index.log")" "$WALL")
for ((round = 2; round <= ROUNDS; round++)); do
    import_package
    "$BUILD/bench/index_bench" --build-only "$FOLDER" >"$WORK/index.log"
    echo "round $round: import $WALL s, index build $(built "$WORK/index.log") s"
    RATIOS="$RATIOS $(ratio "$(built "$WORK/index.log")" "$WALL")"
done
if ((ROUNDS > 1)); then
    echo "index / import time, each round: $RATIOS"
    echo "$RATIOS" | tr ' ' '\n' | sort -n |
        awk '{ r[NR] = $1 } END { m = NR % 2 ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2
            printf "index / import time, median of %d rounds: %.2f    target <= 0.50  %s\n",
                NR, m, m <= 0.5 ? "pass" : "MISS" }'
fi
