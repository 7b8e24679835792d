#!/usr/bin/env python3
"""Starts the real program on an X display (run under xvfb-run) with a class document,
waits for its window, takes a screenshot, and quits it through the window system: the
frame's close request closes the class, a second one quits the program."""

import argparse
import ctypes
import ctypes.util
import os
import struct
import subprocess
import sys
import tempfile
import time
import zlib


class XClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("client", XClientMessage), ("pad", ctypes.c_long * 24)]


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int),
                ("xoffset", ctypes.c_int), ("format", ctypes.c_int),
                ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class Display:
    def __init__(self):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x = self.x
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                 ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                 ctypes.POINTER(ctypes.c_uint)]
        x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                 ctypes.POINTER(ctypes.c_char_p)]
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                 ctypes.POINTER(XEvent)]
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XGetImage.restype = ctypes.POINTER(XImage)
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                   ctypes.POINTER(ctypes.c_ulong),
                                   ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                                   ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(ctypes.c_uint),
                                   ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(ctypes.c_uint)]
        x.XTranslateCoordinates.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                            ctypes.c_int, ctypes.c_int,
                                            ctypes.POINTER(ctypes.c_int),
                                            ctypes.POINTER(ctypes.c_int),
                                            ctypes.POINTER(ctypes.c_ulong)]
        x.XFree.argtypes = [ctypes.c_void_p]
        self.d = x.XOpenDisplay(None)
        if not self.d:
            raise SystemExit("smoke: cannot open the X display")
        self.root = x.XDefaultRootWindow(self.d)

    def windows(self, parent=None, depth=0):
        parent = self.root if parent is None else parent
        root, up = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.x.XQueryTree(self.d, parent, ctypes.byref(root), ctypes.byref(up),
                                 ctypes.byref(children), ctypes.byref(count)):
            return []
        found = [children[i] for i in range(count.value)]
        if children:
            self.x.XFree(children)
        if depth < 2:
            for w in list(found):
                found += self.windows(w, depth + 1)
        return found

    def name(self, window):
        text = ctypes.c_char_p()
        if not self.x.XFetchName(self.d, window, ctypes.byref(text)) or not text.value:
            return ""
        return text.value.decode("latin-1")

    def geometry(self, window):
        root, x, y = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_int()
        w, h, border, depth = ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint()
        self.x.XGetGeometry(self.d, window, ctypes.byref(root), ctypes.byref(x), ctypes.byref(y),
                            ctypes.byref(w), ctypes.byref(h), ctypes.byref(border),
                            ctypes.byref(depth))
        ax, ay, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        self.x.XTranslateCoordinates(self.d, window, self.root, 0, 0, ctypes.byref(ax),
                                     ctypes.byref(ay), ctypes.byref(child))
        return ax.value, ay.value, w.value, h.value

    def close(self, window):
        protocols = self.x.XInternAtom(self.d, b"WM_PROTOCOLS", 0)
        delete = self.x.XInternAtom(self.d, b"WM_DELETE_WINDOW", 0)
        event = XEvent()
        event.client.type = 33  # ClientMessage
        event.client.window = window
        event.client.message_type = protocols
        event.client.format = 32
        event.client.l[0] = delete
        event.client.l[1] = 0  # CurrentTime
        self.x.XSendEvent(self.d, window, 0, 0, ctypes.byref(event))
        self.x.XFlush(self.d)

    def screenshot(self):
        x, y, w, h = self.geometry(self.root)
        image = self.x.XGetImage(self.d, self.root, 0, 0, w, h, 0xFFFFFFFF, 2).contents
        if image.bits_per_pixel != 32:
            raise SystemExit("smoke: the display is not 32 bits a pixel")
        data = ctypes.string_at(image.data, image.bytes_per_line * h)
        rows = []
        for r in range(h):
            line = data[r * image.bytes_per_line:r * image.bytes_per_line + 4 * w]
            rgb = bytearray(3 * w)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
            rows.append(bytes(rgb))
        return w, h, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + row for row in rows)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        out.write(chunk(b"IEND", b""))


def wait_for(what, timeout, check):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = check()
        if found:
            return found
        time.sleep(0.1)
    raise SystemExit("smoke: timed out waiting for " + what)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--document-maker", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    work = tempfile.mkdtemp(prefix="marktally-smoke-")
    document = os.path.join(work, "Smoke Class.mtb")
    subprocess.run([args.document_maker, document], check=True)

    env = dict(os.environ, QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=os.path.join(work, "config"))
    log = open(os.path.join(args.out, "marktally.log"), "w")
    program = subprocess.Popen([args.program, document], env=env, stdout=log, stderr=log)
    display = Display()
    try:
        def frame():
            for w in display.windows():
                if "Smoke Class.mtb" in display.name(w):
                    return w
            return None
        window = wait_for("the class window", 30, frame)
        time.sleep(1.5)  # the first update draws the grid
        width, height, rows = display.screenshot()
        shot = os.path.join(args.out, "marktally-smoke.png")
        write_png(shot, width, height, rows)
        x, y, w, h = display.geometry(window)
        black = white = 0
        for r in range(max(y, 0), min(y + h, height)):
            row = rows[r]
            for c in range(max(x, 0), min(x + w, width), 2):
                pixel = row[3 * c:3 * c + 3]
                black += pixel == b"\0\0\0"
                white += pixel == b"\xff\xff\xff"
        sampled = max(1, (w // 2) * h)
        print(f"smoke: window {w}x{h} at {x},{y}; black {black}, white {white} of {sampled}")
        if black < sampled // 100 or white < sampled // 2:
            raise SystemExit("smoke: the window does not look drawn; see " + shot)

        display.close(window)  # closes the class
        wait_for("the class to close", 15,
                 lambda: "Smoke Class" not in display.name(window) and display.name(window))
        display.close(window)  # no class: quits
        code = program.wait(timeout=20)
        if code != 0:
            raise SystemExit(f"smoke: the program ended with {code}")
        print("smoke: screenshot in " + shot)
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()
        log.close()


if __name__ == "__main__":
    try:
        main()
    except subprocess.TimeoutExpired:
        sys.exit("smoke: the program did not quit")
