#!/usr/bin/env bash
# Proves that the README's commands work on a brand-new Debian 12 machine. It builds a minimal
# Debian 12 root (debootstrap --variant=minbase bookworm), gives it this machine's apt sources,
# name resolution and local certificate authorities, mounts /proc, /sys, /dev, /dev/pts and
# /dev/shm into it, copies in a git clone of this checkout (its HEAD: uncommitted changes are not
# checked) as /root/tavrin, and runs the README's command there with chroot, as root, with no
# standard input and the environment of a fresh login. Whatever that command needs must come
# from scripts/setup.sh.
#
#   scripts/check-fresh-machine.sh [--screenshot OUT.png]
#       bash scripts/setup.sh && bash scripts/run-sample.sh; passes only when the sample's
#       screenshot exists and shows more than a blank screen (OUT.png keeps a copy of it)
#   scripts/check-fresh-machine.sh --tests
#       bash scripts/setup.sh && bash scripts/test.sh (the whole suite, built from nothing: long)
#   scripts/check-fresh-machine.sh --both
#       both commands in the one root, the run command first (the test command's plain build
#       reuses the programs the run command built)
#   scripts/check-fresh-machine.sh --windows
#       only the Windows check: bash scripts/setup.sh --windows && bash scripts/test-windows.sh
#   scripts/check-fresh-machine.sh --all
#       --both, then the Windows check in the same root
#
# Each step's time is printed, and with it the machine's load (other builds share it).
# Needs root and Debian's mirror. The root is made under $FRESH_ROOT_PARENT (default
# /var/tmp), and is always unmounted and removed, also on an error or an interruption; if
# something under it cannot be unmounted, it is left in place (never deleted through a mount)
# and the script fails saying so. DEBOOTSTRAP_MIRROR overrides the mirror.
set -euo pipefail

usage() {
    sed -n '10,22p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

MODE=sample
KEEP_SHOT=
while (($#)); do
    case $1 in
    --tests) MODE=tests ;;
    --both) MODE=both ;;
    --windows) MODE=windows ;;
    --all) MODE=all ;;
    --screenshot)
        [ $# -ge 2 ] || usage
        KEEP_SHOT=$(realpath -m "$2")
        shift
        ;;
    *) usage ;;
    esac
    shift
done

if [ "$(id -u)" -ne 0 ]; then
    echo "check-fresh-machine: needs root (debootstrap, mount, chroot)" >&2
    exit 2
fi
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
MIRROR=${DEBOOTSTRAP_MIRROR:-http://deb.debian.org/debian}
PARENT=${FRESH_ROOT_PARENT:-/var/tmp}
# Mount points are compared with /proc/self/mountinfo, which escapes blanks and backslashes.
case $PARENT in *[[:space:]\\]*)
    echo "check-fresh-machine: FRESH_ROOT_PARENT must not contain blanks or backslashes" >&2
    exit 2
    ;;
esac

ROOT=
CHILD=
MOUNTED=()

# Mount points at or below $ROOT, deepest first.
mounts_under_root() {
    local point
    while read -r _ _ _ _ point _; do
        point=$(printf '%b' "${point//\\/\\0}")
        case $point in "$ROOT" | "$ROOT"/*) echo "$point" ;; esac
    done </proc/self/mountinfo | sort -r
}

# Ends every process whose root folder is the new root (a build, Xvfb, a gpg agent...): they
# would keep its mounts busy. The pids are read from /proc, each one is checked.
stop_root_processes() {
    local signal pids
    for signal in TERM TERM TERM KILL; do
        # One find for all of /proc: a readlink per process is slow on a loaded machine.
        pids=$(find /proc -mindepth 2 -maxdepth 2 -name root -printf '%l\t%h\n' 2>/dev/null |
            awk -F '\t' -v root="$ROOT" '$1 == root { sub("^/proc/", "", $2); print $2 }')
        [ -n "$pids" ] || return 0
        # shellcheck disable=SC2086
        kill -s "$signal" $pids 2>/dev/null
        sleep 2
    done
}

cleanup() {
    local status=$? point
    # A second Ctrl+C must not cut the unmounting short.
    trap '' INT TERM
    trap - EXIT
    set +e
    if [ -n "$CHILD" ] && kill -0 "$CHILD" 2>/dev/null; then
        kill -TERM "$CHILD" 2>/dev/null
        wait "$CHILD" 2>/dev/null
    fi
    [ -n "$ROOT" ] || exit "$status"
    rm -f -- "$ROOT.log"
    stop_root_processes
    for ((i = ${#MOUNTED[@]} - 1; i >= 0; i--)); do
        umount -R "${MOUNTED[i]}" 2>/dev/null || umount -R -l "${MOUNTED[i]}"
    done
    # Whatever else was mounted below the root (debootstrap's own /proc after an interruption).
    for point in $(mounts_under_root); do umount -R -l "$point" 2>/dev/null; done
    if [ -n "$(mounts_under_root)" ]; then
        echo "check-fresh-machine: still mounted, so $ROOT is left in place:" >&2
        mounts_under_root >&2
        exit 1
    fi
    rm -rf --one-file-system -- "$ROOT"
    echo "check-fresh-machine: removed $ROOT"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Runs a command in the background and waits for it, so that a signal to this script is
# handled at once rather than after the command ends. Returns the command's status.
run() {
    local status=0
    "$@" </dev/null &
    CHILD=$!
    wait "$CHILD" || status=$?
    CHILD=
    return "$status"
}

if ! command -v debootstrap >/dev/null; then
    echo "check-fresh-machine: installing debootstrap"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
        --no-install-recommends debootstrap
fi

# The machine's load averages over 1, 5 and 15 minutes.
load() { cut -d' ' -f1-3 /proc/loadavg; }

ROOT=$(realpath "$(mktemp -d "$PARENT/fresh-root.XXXXXX")")
chmod 755 "$ROOT"
echo "check-fresh-machine: Debian 12 minbase in $ROOT"
start=$SECONDS
run debootstrap --variant=minbase bookworm "$ROOT" "$MIRROR" >"$ROOT.log" 2>&1 || {
    tail -20 "$ROOT.log" >&2
    echo "check-fresh-machine: debootstrap failed" >&2
    exit 1
}
rm -f "$ROOT.log"
echo "check-fresh-machine: debootstrap took $((SECONDS - start)) s (load $(load))"

# This machine's apt sources (a normal Debian 12 install's) in place of debootstrap's one
# line, with the keyrings they name.
if compgen -G '/etc/apt/sources.list.d/*.sources' >/dev/null ||
    compgen -G '/etc/apt/sources.list.d/*.list' >/dev/null || [ -f /etc/apt/sources.list ]; then
    rm -f "$ROOT/etc/apt/sources.list"
    [ ! -f /etc/apt/sources.list ] || cp /etc/apt/sources.list "$ROOT/etc/apt/"
    for f in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; do
        [ ! -f "$f" ] || cp "$f" "$ROOT/etc/apt/sources.list.d/"
    done
    grep -rhoiE '(signed-by=|^signed-by:[[:space:]]*)/[^][:space:]]+' "$ROOT/etc/apt/" |
        sed -E 's/^[^/]*//' | sort -u | while read -r key; do
        if [ -f "$key" ] && [ ! -e "$ROOT$key" ]; then
            mkdir -p "$ROOT$(dirname "$key")"
            cp "$key" "$ROOT$key"
        fi
    done
fi
# Name resolution as an installed machine has it (debootstrap writes no /etc/hosts).
cp /etc/resolv.conf "$ROOT/etc/resolv.conf" 2>/dev/null || true
# This machine's own certificate authorities, where Debian keeps an administrator's additions: a
# network that re-signs TLS (a company's proxy) does so for the new root too, and a machine on it
# trusts the proxy's authority. The root's ca-certificates package adds them to its store when
# setup.sh installs it; nothing weakens the checks.
if [ -d /usr/local/share/ca-certificates ]; then
    mkdir -p "$ROOT/usr/local/share/ca-certificates"
    cp -R /usr/local/share/ca-certificates/. "$ROOT/usr/local/share/ca-certificates/"
fi
[ -e "$ROOT/etc/hosts" ] || printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' \
    >"$ROOT/etc/hosts"

# The kernel's file systems, as every booted machine has them. The binds are made private
# so that nothing mounted below them shows up in this machine's own /dev.
mount_in_root() {  # mount_in_root POINT MOUNT-ARGS...
    local point=$ROOT$1
    shift
    mkdir -p "$point"
    mount "$@" "$point"
    MOUNTED+=("$point")
}
mount_in_root /proc -t proc proc
mount_in_root /sys -t sysfs sysfs
mount_in_root /dev --bind /dev
mount --make-private "$ROOT/dev"
mount_in_root /dev/pts --bind /dev/pts
mount --make-private "$ROOT/dev/pts"
mount_in_root /dev/shm -t tmpfs -o mode=1777,nosuid,nodev shm

git clone --quiet --no-hardlinks "$SOURCE" "$ROOT/root/tavrin"
echo "check-fresh-machine: the tree under test is $(git -C "$ROOT/root/tavrin" log -1 --format='%h %s')"

RUN='bash scripts/setup.sh && bash scripts/run-sample.sh'
TESTS='bash scripts/setup.sh && bash scripts/test.sh'
WINDOWS='bash scripts/setup.sh --windows && bash scripts/test-windows.sh'
case $MODE in
tests) STEPS=("$TESTS") ;;
both) STEPS=("$RUN" 'bash scripts/test.sh') ;;
windows) STEPS=("$WINDOWS") ;;
all) STEPS=("$RUN" 'bash scripts/test.sh' "$WINDOWS") ;;
*) STEPS=("$RUN") ;;
esac
total=$SECONDS
for COMMAND in "${STEPS[@]}"; do
    echo "check-fresh-machine: running in the new root: $COMMAND (load $(load))"
    start=$SECONDS
    status=0
    run chroot "$ROOT" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin TERM="${TERM:-dumb}" \
        /bin/bash -c "cd /root/tavrin && $COMMAND" || status=$?
    echo "check-fresh-machine: $COMMAND took $((SECONDS - start)) s and exited with $status (load $(load))"
    ((status == 0)) || exit 1
done
echo "check-fresh-machine: the commands took $((SECONDS - total)) s in all"

if [ "$MODE" = sample ] || [ "$MODE" = both ] || [ "$MODE" = all ]; then
    SHOT=/root/tavrin/build/sample/tavrin-sample.png
    if [ ! -s "$ROOT$SHOT" ]; then
        echo "check-fresh-machine: no screenshot at $SHOT" >&2
        exit 1
    fi
    # A screen of one colour means that no window was drawn.
    colours=$(chroot "$ROOT" /usr/bin/identify -format '%k' "$SHOT" 2>/dev/null || echo 0)
    if ((colours < 3)); then
        echo "check-fresh-machine: the screenshot shows no window ($colours colours)" >&2
        exit 1
    fi
    [ -z "$KEEP_SHOT" ] || cp "$ROOT$SHOT" "$KEEP_SHOT"
    echo "check-fresh-machine: passed, the screenshot shows $colours colours${KEEP_SHOT:+ ($KEEP_SHOT)}"
else
    echo "check-fresh-machine: passed"
fi
