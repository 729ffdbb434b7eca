#!/usr/bin/env bash
# Takes a screenshot of a search in "Find in sessions…" on a 1280x800 virtual X screen: Tavrin
# imports the bundled sample package, its text index is built, then Ctrl+Shift+F opens the
# window, the text is typed and Enter searches (keys through the X test extension, libXtst).
# Usage: scripts/screenshot-find.sh [OUT.png]   (default: build/screenshots/find-en.png)
# FIND_TEXT: the text typed (default "cat /etc/passwd"; letters, digits, blanks and . / - _).
# FIND_LANG=zh takes the Chinese module. SHOT_DELAY: seconds for the import and the index
# (default 12). Build folder: $BUILD_DIR or build.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
OUT=$(realpath -m "${1:-$BUILD_DIR/screenshots/find-en.png}")
DELAY=${SHOT_DELAY:-12}
TEXT=${FIND_TEXT:-cat /etc/passwd}
LOCALE=en_US.UTF-8
[ "${FIND_LANG:-en}" = zh ] && LOCALE=zh_CN.UTF-8

for tool in xvfb-run import python3; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/setup.sh" >&2; exit 1; }
done
if ! log=$(cmake --build "$BUILD_DIR" --target Tavrin tavrin_program_folder 2>&1); then
    echo "$log" | tail -20 >&2
    echo "building Tavrin failed" >&2
    exit 1
fi
mkdir -p "$(dirname "$OUT")"

# A private working, settings and runtime folder, so a Tavrin the user runs is not disturbed.
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -m 0700 "$WORK/runtime"
PACKAGE=$(python3 "$ROOT/scripts/make_sample_package.py" --out "$WORK/sample")
NAME=$(basename "$PACKAGE" .tar)
rm -rf -- "${BUILD_DIR:?}/bin/$NAME"

(cd "$WORK" && LANG=$LOCALE LC_ALL= LC_MESSAGES= XDG_RUNTIME_DIR="$WORK/runtime" \
    XDG_CONFIG_HOME="$WORK/config" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    "$1" "$2" >/dev/null 2>&1 &
    pid=$!
    sleep "$4"
    python3 - "$5" <<"PY" || echo "could not type the find text" >&2
import ctypes, sys, time
x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
xtst = ctypes.cdll.LoadLibrary("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XFlush.argtypes = [ctypes.c_void_p]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                      ctypes.c_ulong]
xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
display = x11.XOpenDisplay(None)
names = {" ": "space", "/": "slash", ".": "period", "-": "minus", "_": "underscore"}
def code(name):
    return x11.XKeysymToKeycode(display, x11.XStringToKeysym(name.encode()))
def press(name, *modifiers):
    for m in modifiers: xtst.XTestFakeKeyEvent(display, code(m), 1, 0)
    xtst.XTestFakeKeyEvent(display, code(name), 1, 0)
    xtst.XTestFakeKeyEvent(display, code(name), 0, 0)
    for m in reversed(modifiers): xtst.XTestFakeKeyEvent(display, code(m), 0, 0)
    x11.XFlush(display)
    time.sleep(0.05)
# No window manager activates the main window again once the progress window of the import has
# gone: a click on the "Filters" caption does.
xtst.XTestFakeMotionEvent(display, -1, 30, 91, 0)
xtst.XTestFakeButtonEvent(display, 1, 1, 0)
xtst.XTestFakeButtonEvent(display, 1, 0, 0)
x11.XFlush(display)
time.sleep(0.5)
press("f", "Control_L", "Shift_L")
time.sleep(1)
for c in sys.argv[1]:
    if c == "_": press("minus", "Shift_L")
    elif c in names: press(names[c])
    elif c.isupper(): press(c.lower(), "Shift_L")
    else: press(c)
press("Return")
PY
    sleep 2
    import -window root "$3"
    kill -TERM $pid 2>/dev/null; wait $pid 2>/dev/null || true' \
    _ "$BUILD_DIR/bin/Tavrin" "$PACKAGE" "$OUT" "$DELAY" "$TEXT")
rm -rf -- "${BUILD_DIR:?}/bin/$NAME"
echo "screenshot: $OUT"
