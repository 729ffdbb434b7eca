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
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${TAVRIN_BENCH_BUILD:-$PWD/build-bench}

if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" -j 2 --target tavrin-import bench_step min_insert workspace_bench \
    >/dev/null
exec python3 bench/suite.py --build "$BUILD" --source "$PWD" "$@"
