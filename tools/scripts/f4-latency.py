#!/usr/bin/env python3
"""Time from an F4 key press to the next picture on screen, in the real window.

Run under a virtual display whose screen holds the window at scale 1:
  xvfb-run -s "-screen 0 800x600x24" tools/scripts/f4-latency.py BINARY FOLDER FIRST [PRESSES [KEYS]]

Starts BINARY in FOLDER on the picture FIRST, then sends F4 (or the keys of KEYS in turn,
such as "F4,F4,F3") once a second through the XTEST
extension and polls a strip of the window across its middle until it changes (so the
pictures in FOLDER must differ there; a small strip keeps the polling from loading the
display server). Prints each latency, their
median and maximum, the resident memory with the first picture shown and at the end, and
the processor time the program used over 10 idle seconds after the last press.
"""
import ctypes
import ctypes.util
import os
import statistics
import subprocess
import sys
import time

x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                           ctypes.POINTER(ctypes.c_ulong),
                           ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                           ctypes.POINTER(ctypes.c_uint)]
x11.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
x11.XKeysymToKeycode.restype = ctypes.c_ubyte
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

XK_F3 = 0xFFC0
XK_F4 = 0xFFC1
ZPIXMAP = 2


def find_window(dpy, window, prefix):
    name = ctypes.c_char_p()
    if x11.XFetchName(dpy, window, ctypes.byref(name)) and name.value:
        if name.value.decode(errors="replace").startswith(prefix):
            return window
    root, parent = ctypes.c_ulong(), ctypes.c_ulong()
    children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    if not x11.XQueryTree(dpy, window, ctypes.byref(root), ctypes.byref(parent),
                          ctypes.byref(children), ctypes.byref(count)):
        return None
    for i in range(count.value):
        found = find_window(dpy, children[i], prefix)
        if found:
            return found
    return None


def grab(dpy, window, width=640, height=4, top=200):
    image = x11.XGetImage(dpy, window, 0, top, width, height, 0xFFFFFFFF, ZPIXMAP)
    if not image:
        return b""
    data = ctypes.cast(image + 16, ctypes.POINTER(ctypes.c_void_p))[0]
    stride = ctypes.cast(image + 44, ctypes.POINTER(ctypes.c_int))[0]
    pixels = ctypes.string_at(data, stride * height)
    destroy = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p)(
        ctypes.cast(image + 96, ctypes.POINTER(ctypes.c_void_p))[0])
    destroy(image)
    return pixels


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def main():
    binary, folder, first = os.path.abspath(sys.argv[1]), sys.argv[2], sys.argv[3]
    presses = int(sys.argv[4]) if len(sys.argv) > 4 else 10
    pattern = sys.argv[5] if len(sys.argv) > 5 else "F4"  # e.g. "F4,F3": forward, then back
    program = subprocess.Popen([binary, first], cwd=folder)
    dpy = x11.XOpenDisplay(None)
    root = x11.XDefaultRootWindow(dpy)
    window = None
    for _ in range(200):
        window = find_window(dpy, root, "Veldran - ")
        if window:
            break
        time.sleep(0.05)
    if not window:
        program.kill()
        sys.exit("no window")
    time.sleep(2.0)
    first_rss = rss_kib(program.pid)
    keys = [XK_F4 if k.strip().upper() == "F4" else XK_F3 for k in pattern.split(",")]
    latencies = []
    by_key = {}
    for press in range(presses):
        keysym = keys[press % len(keys)]
        keycode = x11.XKeysymToKeycode(dpy, keysym)
        before = grab(dpy, window)
        start = time.perf_counter()
        xtst.XTestFakeKeyEvent(dpy, keycode, 1, 0)
        xtst.XTestFakeKeyEvent(dpy, keycode, 0, 0)
        x11.XFlush(dpy)
        while grab(dpy, window) == before:
            if time.perf_counter() - start > 2.0:
                break
        latencies.append((time.perf_counter() - start) * 1000.0)
        by_key.setdefault("F4" if keysym == XK_F4 else "F3", []).append(latencies[-1])
        time.sleep(max(0.0, 1.0 - (time.perf_counter() - start)))
    time.sleep(2.0)
    idle_start = cpu_seconds(program.pid)
    time.sleep(10.0)
    idle = cpu_seconds(program.pid) - idle_start
    last_rss = rss_kib(program.pid)
    program.terminate()
    program.wait()
    print("latencies ms:", " ".join(f"{v:.1f}" for v in latencies))
    print(f"median {statistics.median(latencies):.1f} ms, max {max(latencies):.1f} ms")
    if len(by_key) > 1:
        for key, values in sorted(by_key.items()):
            print(f"  {key}: median {statistics.median(values):.1f} ms, max {max(values):.1f} ms")
    print(f"VmRSS first picture {first_rss // 1024} MiB, after stepping {last_rss // 1024} MiB")
    print(f"processor time over 10 s idle: {idle:.2f} s")


if __name__ == "__main__":
    main()
