#!/usr/bin/env bash
# The benchmark suite in one command: builds what it measures in the plain build folder
# (build-bench, configured when missing), then runs bench/suite.py, which generates its
# packages with a fixed seed (kept in build-bench/bench-data for later runs), times every
# measurement beside its reference commands and prints the targets with pass or miss.
#
#   bash bench/run.sh                      packages of about 100 MB and 500 MB, 3 runs each
#   bash bench/run.sh --sizes 100,500,2000 with the optional 2 GB package
#   bash bench/run.sh --smoke              a tiny run to see that everything works
#
# Other options go to suite.py (--runs N, --rows N, --keep, --strict, --work DIR).
#
# Targets of the package import (each a ratio of medians measured side by side in one run;
# suite.py prints every target of the suite with its verdict):
#
#   whole import (tavrin-import)     <= 0.30 of 7z x + sqlite3 .import + sqlite3 row load
#                                       (<= 0.35 at 2 GB)
#   to first page                    <= 0.20 of 7z x + sqlite3 .import of the same dumps
#   background load (child.db)       <= 0.35 of sqlite3 DB < mysql.sql (one transaction)
#   InsertRowStatements              <= 0.35 of sqlite3 DB < mysql.sql
#   import peak memory               < 100 MB at 100 MB, 500 MB and 2 GB
#   growth                           the 2 GB import within 5x the 500 MB one
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${TAVRIN_BENCH_BUILD:-$PWD/build-bench}

if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" -j 2 --target tavrin-import bench_step min_insert workspace_bench \
    >/dev/null
exec python3 bench/suite.py --build "$BUILD" --source "$PWD" "$@"
