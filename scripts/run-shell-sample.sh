#!/usr/bin/env bash
# Builds the program folder (build/, as scripts/test.sh configures it) and runs the shell
# engine's front end on the bundled sample: a table script, a tab dump and a comma dump are
# loaded into a database in a temporary folder and its rows are printed.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_WERROR=ON >/dev/null
cmake --build build -j "$(nproc)" --target tavrin-sql

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd tavrin/shell/sample
"../../../build/bin/tavrin-sql" "$work/sample.db" sample.sql
