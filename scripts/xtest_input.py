#!/usr/bin/env python3
"""Types and clicks on the X display named by DISPLAY through the X test extension (libXtst).

Arguments are steps run in order: click:X:Y, dbl:X:Y (double-click), key:KEYSYM (modifiers held
before it joined with "+": key:Control_L+Shift_L+f), type:TEXT (letters, digits, blanks and
. / - _), sleep:SECONDS. Used by the screenshot scripts to drive the real windows under a
virtual X server.
"""
import ctypes, sys, time
x11 = ctypes.cdll.LoadLibrary("libX11.so.6"); xtst = ctypes.cdll.LoadLibrary("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XFlush.argtypes = [ctypes.c_void_p]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
d = x11.XOpenDisplay(None)
def flush(): x11.XFlush(d); time.sleep(0.15)
def move(x, y): xtst.XTestFakeMotionEvent(d, -1, x, y, 0); flush()
def click(x, y, n=1):
    move(x, y)
    for _ in range(n):
        xtst.XTestFakeButtonEvent(d, 1, 1, 0); x11.XFlush(d); xtst.XTestFakeButtonEvent(d, 1, 0, 0); x11.XFlush(d); time.sleep(0.05)
    flush()
def code(name): return x11.XKeysymToKeycode(d, x11.XStringToKeysym(name.encode()))
def key(names, pause=0.15):
    *modifiers, name = names.split("+")
    for m in modifiers: xtst.XTestFakeKeyEvent(d, code(m), 1, 0)
    xtst.XTestFakeKeyEvent(d, code(name), 1, 0); xtst.XTestFakeKeyEvent(d, code(name), 0, 0)
    for m in reversed(modifiers): xtst.XTestFakeKeyEvent(d, code(m), 0, 0)
    x11.XFlush(d); time.sleep(pause)
SYMBOLS = {" ": "space", "/": "slash", ".": "period", "-": "minus", "_": "Shift_L+minus"}
def type_text(text):
    for c in text:
        key(SYMBOLS.get(c) or ("Shift_L+" + c.lower() if c.isupper() else c), 0.05)
for cmd in sys.argv[1:]:
    op, _, rest = cmd.partition(":")
    a = rest.split(":")
    if op == "click": click(int(a[0]), int(a[1]))
    elif op == "dbl": click(int(a[0]), int(a[1]), 2)
    elif op == "key": key(rest)
    elif op == "type": type_text(rest)
    elif op == "sleep": time.sleep(float(a[0]))
