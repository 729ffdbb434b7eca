#!/usr/bin/env bash
# Starts Morvel under a virtual X server on a small generated package and saves a screenshot.
#   scripts/screenshot-morvel.sh [--sample] [BUILD_DIR] [OUT.png]
# BUILD_DIR defaults to build (its bin/ holds Morvel and the language modules); OUT.png to
# morvel-screenshot.png. MORVEL_LANG=zh shows the Chinese module (default: en).
# Without --sample the package is a small one written here; with --sample it is the bundled
# sample package (scripts/make_sample_package.py), unpacked with 7-Zip and its utm2dba dump
# loaded as Tavrin's import does, and Morvel gets the command line Tavrin gives it for the
# sample's first recording. MORVEL_FIND=TEXT (letters, digits, blanks) presses Ctrl+F, types
# TEXT and Enter before the picture is taken, to show the find and its highlight (needs the X
# test extension library, libXtst).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/virtual_screen.sh

SAMPLE=0
if [ "${1:-}" = --sample ]; then SAMPLE=1; shift; fi
BUILD=${1:-build}
OUT=$(realpath -m "${2:-morvel-screenshot.png}")
BIN=$(realpath "$BUILD/bin")
[ -x "$BIN/Morvel" ] || { echo "no $BIN/Morvel: build the Morvel target first" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# A program folder of its own: the modules, the registry folder and one package.
cp "$BIN"/Morvel_*.rcc "$WORK/"
mkdir -p "$WORK/processid"
if [ "$SAMPLE" = 1 ]; then
    TAR=$(python3 scripts/make_sample_package.py --out "$WORK/sample")
    PACKAGE=$(basename "$TAR" .tar)
    SEVENZIP=$(command -v 7zz || command -v 7z)
    "$SEVENZIP" x "$TAR" -o"$WORK/$PACKAGE" > /dev/null
    DUMP=$(find "$WORK/$PACKAGE/var/tmp/backup_log" -name utm2dba.bak | head -n 1)
    sqlite3 "$WORK/$PACKAGE/${PACKAGE}Parent.db" <<SQL
create table utm2dba(id integer, utm text, dba text, time text);
.separator "\t"
.import $DUMP utm2dba
SQL
    SESSION=$(sqlite3 "$WORK/$PACKAGE/${PACKAGE}Parent.db" "select utm from utm2dba limit 1")
else
    PACKAGE=demo
    SESSION=r1
    mkdir -p "$WORK/demo/var/utm/data/sessions"
    SESSIONS="$WORK/demo/var/utm/data/sessions"
    sqlite3 "$WORK/demo/demoParent.db" <<'SQL'
create table utm2dba(id integer, utm text, dba text);
insert into utm2dba values(1, 'r1', 'r1_part1.scan');
insert into utm2dba values(2, 'r1', 'r1_part2.scan');
SQL
    # Scan text as the appliance writes it: GBK, Windows line ends.
    for i in $(seq 1 18); do
        printf '2026-03-14 09:%02d:%02d  C:\\Windows\\System32> dir /s /b D:\\audit\\case%03d\\*.log\r\n' \
            $((i / 2)) $((i * 3 % 60)) "$i"
    done > "$SESSIONS/r1_part1.scan"
    for i in $(seq 19 31); do
        printf '2026-03-14 09:%02d:%02d  ' $((i / 2)) $((i * 3 % 60))
        printf '\xB2\xE9\xD1\xAF\xD3\xC3\xBB\xA7 net user operator%02d /domain\r\n' "$i"  # 查询用户
    done > "$SESSIONS/r1_part2.scan"
fi

LOCALE=C
[ "${MORVEL_LANG:-en}" = zh ] && LOCALE=zh_CN.UTF-8

run_on_virtual_screen 900x640 "$OUT" \
    'env TAVRIN_PROGRAM_DIR="$1" LANG="$2" LC_ALL="$2" "$3/Morvel" "$4"' '
    for _ in $(seq 1 50); do [ -e "$1/processid/$pid" ] && break; sleep 0.2; done
    sleep 1.5
    if [ -n "$5" ]; then
        python3 "$6" key:Control_L+f "type:$5" key:Return ||
            echo "could not type the find text" >&2
        sleep 1
    fi' \
    "$WORK" "$LOCALE" "$BIN" "~1 ~1 ~$SESSION ~$PACKAGE" "${MORVEL_FIND:-}" \
    "$PWD/scripts/xtest_input.py"
echo "screenshot: $OUT"
