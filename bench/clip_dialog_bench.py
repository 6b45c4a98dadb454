#!/usr/bin/env python3
"""Times the clip dialog on a 1080p H.264 file under a private Xvfb and ffplay's first
picture on the same file in the same run.

usage: bench/clip_dialog_bench.py [--build DIR] [--rounds 5] [--renderer opengl|software] [FILE]
Without a file it generates a 10 s 1080p30 H.264 + AAC clip in a temporary folder.

Ours: uishot opens the dialog (--close-playing: it plays a second after the still, then
its Close button is clicked); the dialog's QUORIN_CLIP_TRACE line gives the time from
its opening to the core's first presented picture, and from the close request to the
end of closing with the player thread joined.
ffplay: the time from starting the process to the first non-black pixel at the middle
of its mapped window, read from the X server.
Targets: first picture <= 300 ms and no slower than ffplay's; closing <= 200 ms.
"""
import argparse
import ctypes
import os
import statistics
import subprocess
import sys
import tempfile
import time

from player_bench import make_clip, start_xvfb, stop_and_remove

MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
Z_PIXMAP = 2


class XWatch:
    """Sees top-level windows being mapped and reads pixels, through libX11."""

    def __init__(self, display):
        x = ctypes.CDLL("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x.XPending.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p]
        x.XGetImage.restype = ctypes.c_void_p
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        # A window that goes away while we read it must not end this process.
        handler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
        self._ignore = handler(lambda d, e: 0)
        x.XSetErrorHandler(self._ignore)
        self.x = x
        self.dpy = x.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError(f"cannot open display {display}")
        x.XSelectInput(self.dpy, x.XDefaultRootWindow(self.dpy), SUBSTRUCTURE_NOTIFY_MASK)

    def mapped_windows(self):
        event = ctypes.create_string_buffer(192)
        while self.x.XPending(self.dpy):
            self.x.XNextEvent(self.dpy, event)
            if ctypes.c_int.from_buffer(event, 0).value == MAP_NOTIFY:
                yield ctypes.c_ulong.from_buffer(event, 40).value

    def size(self, window):
        attrs = ctypes.create_string_buffer(256)
        if not self.x.XGetWindowAttributes(self.dpy, window, attrs):
            return 0, 0
        return ctypes.c_int.from_buffer(attrs, 8).value, ctypes.c_int.from_buffer(attrs, 12).value

    def pixel(self, window, px, py):
        image = self.x.XGetImage(self.dpy, window, px, py, 1, 1, 0xFFFFFFFF, Z_PIXMAP)
        if not image:
            return None
        data = ctypes.c_void_p.from_address(image + 16).value
        value = ctypes.c_uint32.from_address(data).value & 0xFFFFFF
        self.x.XFree(data)
        self.x.XFree(image)
        return value

    def close(self):
        self.x.XCloseDisplay(self.dpy)


def ffplay_first_picture(path, env, display):
    """Seconds from starting ffplay to a picture in its window, or None."""
    watch = XWatch(display)
    start = time.monotonic()
    proc = subprocess.Popen(["ffplay", "-hide_banner", "-loglevel", "quiet", path], env=env,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    found = None
    try:
        windows = []
        while time.monotonic() - start < 10 and found is None:
            for w in watch.mapped_windows():
                width, height = watch.size(w)
                if width >= 64 and height >= 64:
                    windows.append((w, width, height))
            for w, width, height in windows:
                if watch.pixel(w, width // 2, height // 2):
                    found = time.monotonic() - start
                    break
            time.sleep(0.001)
    finally:
        proc.terminate()
        proc.wait()
        watch.close()
    return found


def ours(uishot, path, env, tmp):
    """(seconds to the first picture, seconds to close) from one dialog."""
    trace = os.path.join(tmp, "trace.txt")
    if os.path.exists(trace):
        os.remove(trace)
    subprocess.run([uishot, "--dialog", "player", "--file", path, "--close-playing",
                    "--out", os.path.join(tmp, "shot.png")], env=dict(env, QUORIN_CLIP_TRACE=trace),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=True)
    with open(trace) as f:
        fields = dict(part.split("=") for part in f.read().split())
    t = {k: float(v) for k, v in fields.items()}
    first = t["first_picture"] - t["open"] if t["first_picture"] > 0 else float("nan")
    return first, t["closed"] - t["close"]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(here, "..", "build"))
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--renderer", default="opengl",
                    help="SDL_RENDER_DRIVER for both players (under Xvfb both pick opengl by themselves)")
    ap.add_argument("file", nargs="?")
    args = ap.parse_args()
    uishot = os.path.join(args.build, "tools", "uishot", "uishot")
    if not os.path.exists(uishot):
        sys.exit(f"{uishot} not built")

    tmp = tempfile.mkdtemp(prefix="quorin-clip-bench-")
    xvfb = None
    try:
        path = args.file or make_clip(tmp, "1920x1080", 10)
        xvfb, display = start_xvfb()
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", SDL_VIDEODRIVER="x11",
                   SDL_AUDIODRIVER="dummy", SDL_RENDER_DRIVER=args.renderer, HOME=tmp, TMPDIR=tmp)
        firsts, closes, ff = [], [], []
        for r in range(args.rounds):
            first, close = ours(uishot, path, env, tmp)
            firsts.append(first)
            closes.append(close)
            ff.append(ffplay_first_picture(path, env, display))
            ff_text = f"{1000 * ff[-1]:.0f} ms" if ff[-1] is not None else "none"
            print(f"  round {r + 1}: dialog first picture {1000 * first:.0f} ms, closing {1000 * close:.0f} ms;"
                  f" ffplay first picture {ff_text}")
            sys.stdout.flush()
        ff_ok = [f for f in ff if f is not None]
        med_first, med_close = statistics.median(firsts), statistics.median(closes)
        med_ff = statistics.median(ff_ok) if ff_ok else float("nan")
        print(f"{os.path.basename(path)} ({args.renderer} renderer), median of {args.rounds}:")
        print(f"  first picture: dialog {1000 * med_first:.0f} ms (max {1000 * max(firsts):.0f}),"
              f" ffplay {1000 * med_ff:.0f} ms; target <= 300 ms and <= ffplay:"
              f" {'met' if med_first <= 0.3 and med_first <= med_ff else 'MISSED'}")
        print(f"  closing: {1000 * med_close:.0f} ms (max {1000 * max(closes):.0f}); target <= 200 ms:"
              f" {'met' if max(closes) <= 0.2 else 'MISSED'}")
    finally:
        stop_and_remove(xvfb, tmp)


if __name__ == "__main__":
    main()
