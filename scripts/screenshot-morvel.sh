#!/usr/bin/env bash
# Starts Morvel under a virtual X server on a small generated package and saves a screenshot.
#   scripts/screenshot-morvel.sh [BUILD_DIR] [OUT.png]
# BUILD_DIR defaults to build (its bin/ holds Morvel and the language modules); OUT.png to
# morvel-screenshot.png. MORVEL_LANG=zh shows the Chinese module (default: en).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${1:-build}
OUT=$(realpath -m "${2:-morvel-screenshot.png}")
BIN=$(realpath "$BUILD/bin")
[ -x "$BIN/Morvel" ] || { echo "no $BIN/Morvel: build the Morvel target first" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# A program folder of its own: the modules, the registry folder and one package "demo".
cp "$BIN"/Morvel_*.rcc "$WORK/"
mkdir -p "$WORK/processid" "$WORK/demo/var/utm/data/sessions"
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

LOCALE=C
[ "${MORVEL_LANG:-en}" = zh ] && LOCALE=zh_CN.UTF-8

xvfb-run -a -s "-screen 0 900x640x24" bash -c '
    TAVRIN_PROGRAM_DIR="$1" LANG="$2" LC_ALL="$2" "$3/Morvel" "~1 ~17 ~r1 ~demo" &
    pid=$!
    for _ in $(seq 1 50); do [ -e "$1/processid/$pid" ] && break; sleep 0.2; done
    sleep 1.5
    import -window root "$4"
    kill -TERM "$pid"
    wait "$pid" || true
' _ "$WORK" "$LOCALE" "$BIN" "$OUT"
echo "screenshot: $OUT"
