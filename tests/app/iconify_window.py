#!/usr/bin/env python3
"""Does to one X window what a window manager does when the user minimises it:
marks it iconic (WM_STATE) and unmaps it. The test display runs no window
manager of its own.
    iconify_window.py WINDOW_ID    (decimal or 0x hexadecimal, on $DISPLAY)"""
import ctypes
import sys

ICONIC_STATE = 3
PROP_MODE_REPLACE = 0

x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                                ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
x11.XUnmapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

window = int(sys.argv[1], 0)
display = x11.XOpenDisplay(None)
if not display:
    sys.exit("iconify_window: cannot open the display")
wm_state = x11.XInternAtom(display, b"WM_STATE", 0)
state = (ctypes.c_long * 2)(ICONIC_STATE, 0)  # format 32 travels as longs
x11.XChangeProperty(display, window, wm_state, wm_state, 32, PROP_MODE_REPLACE, state, 2)
x11.XUnmapWindow(display, window)
x11.XSync(display, 0)
x11.XCloseDisplay(display)
