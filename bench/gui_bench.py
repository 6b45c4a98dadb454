#!/usr/bin/env python3
"""The main window's start-up and list bench, under a private Xvfb.

usage: bench/gui_bench.py [--build DIR] [--rounds 5] [--files 200]

1. Start-up: time from launch to the first mapped top-level window (a MapNotify on
   the root window, not override-redirect), and the resident set size 3 s after
   launch; for QuorinVideoConverter and, when installed, for QWinFF, taking turns,
   medians over the rounds, with the ratios.
2. N files on the command line (copies of one generated clip, each a file of its own):
   launch to all rows listed and to all probed, then the same with the conversion of
   the files started at once, and the window thread's longest stall from the first
   rows listed until everything is probed and 3 s more. The program reports these
   itself when QUORIN_GUI_TRACE is set ("convert": it also starts the conversion of
   the files it was given); QWinFF has no such report, so this part is ours only.
Both programs run with a private HOME, XDG folders and TMPDIR, without a window
manager.
"""
import argparse
import ctypes
import os
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

from player_bench import start_xvfb

MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19


class MapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", MapEvent), ("pad", ctypes.c_long * 24)]


class MapWatch:
    """Hears every top-level window mapped on the display."""

    def __init__(self, display):
        self.x = ctypes.CDLL("libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        for name in ("XSelectInput", "XFlush", "XPending", "XNextEvent", "XConnectionNumber",
                     "XCloseDisplay"):
            getattr(self.x, name).argtypes = [ctypes.c_void_p] + (
                [ctypes.c_ulong, ctypes.c_long] if name == "XSelectInput" else
                [ctypes.POINTER(XEvent)] if name == "XNextEvent" else [])
        self.d = self.x.XOpenDisplay(display.encode())
        if not self.d:
            raise RuntimeError(f"cannot open display {display}")
        self.x.XSelectInput(self.d, self.x.XDefaultRootWindow(self.d), SUBSTRUCTURE_NOTIFY_MASK)
        self.x.XFlush(self.d)
        self.fd = self.x.XConnectionNumber(self.d)

    def drain(self):
        ev = XEvent()
        while self.x.XPending(self.d):
            self.x.XNextEvent(self.d, ctypes.byref(ev))

    def wait_map(self, deadline):
        """time.monotonic() of the next mapped top-level window, None at the deadline."""
        ev = XEvent()
        while True:
            while self.x.XPending(self.d):
                self.x.XNextEvent(self.d, ctypes.byref(ev))
                if ev.type == MAP_NOTIFY and not ev.xmap.override_redirect:
                    return time.monotonic()
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            select.select([self.fd], [], [], left)

    def close(self):
        self.x.XCloseDisplay(self.d)


def rss_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return float("nan")


def stop(proc):
    """Ends the program and whatever it started (its own process group)."""
    try:
        os.killpg(proc.pid, signal.SIGTERM)
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
    except ProcessLookupError:
        pass


def private_env(base, root, display):
    for sub in ("home", "config", "data", "cache", "tmp"):
        os.makedirs(os.path.join(root, sub), exist_ok=True)
    return dict(base, DISPLAY=display, QT_QPA_PLATFORM="xcb", HOME=os.path.join(root, "home"),
                XDG_CONFIG_HOME=os.path.join(root, "config"), XDG_DATA_HOME=os.path.join(root, "data"),
                XDG_CACHE_HOME=os.path.join(root, "cache"), TMPDIR=os.path.join(root, "tmp"))


def start_up(watch, argv, env):
    """(seconds to the first mapped window, RSS MiB 3 s after launch)."""
    watch.drain()
    t0 = time.monotonic()
    proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        mapped = watch.wait_map(t0 + 30)
        time.sleep(max(0.0, t0 + 3 - time.monotonic()))
        rss = rss_mib(proc.pid)
    finally:
        stop(proc)
    return (mapped - t0 if mapped else float("nan")), rss


def list_run(program, files, env, settle, convert):
    """Our program with the files on its command line: (listed s, probed s, stall ms)."""
    env = dict(env, QUORIN_GUI_TRACE="convert" if convert else "1")
    log = open(os.path.join(env["TMPDIR"], "trace.log"), "w+")
    t0 = time.monotonic()
    proc = subprocess.Popen([program] + files, env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=log, start_new_session=True)
    first = listed = probed = None
    stalls = []
    pos = 0
    deadline = t0 + 120
    try:
        while time.monotonic() < deadline:
            time.sleep(0.05)
            log.seek(pos)
            chunk = log.read()
            complete = chunk[:chunk.rfind("\n") + 1]
            pos += len(complete.encode())
            for line in complete.splitlines():
                part = line.split()
                if len(part) != 4 or part[0] != "quorin-trace":
                    continue
                event, at, value = part[1], int(part[2]) / 1000.0, int(part[3])
                if event == "listed" and value > 0 and first is None:
                    first = at
                if event == "listed" and value >= len(files) and listed is None:
                    listed = at
                elif event == "probed" and value >= len(files) and probed is None:
                    probed = at
                    deadline = min(deadline, time.monotonic() + settle)
                elif event == "stall":
                    stalls.append((at, value))
            if proc.poll() is not None:
                break
    finally:
        stop(proc)
        log.close()
    since = first if first is not None else t0
    worst = max((ms for at, ms in stalls if at >= since), default=0)
    return ((listed - t0) if listed else float("nan"), (probed - t0) if probed else float("nan"), worst)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(here, "..", "build"))
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--files", type=int, default=200)
    args = ap.parse_args()
    ours = os.path.join(args.build, "bin", "QuorinVideoConverter")
    if not os.path.exists(ours):
        sys.exit(f"{ours} not built")
    qwinff = shutil.which("qwinff")

    tmp = tempfile.mkdtemp(prefix="quorin-gui-bench-")
    xvfb = watch = None
    try:
        xvfb, display = start_xvfb()
        watch = MapWatch(display)
        env = private_env(os.environ, os.path.join(tmp, "env"), display)
        programs = [("quorin", [ours])] + ([("qwinff", [qwinff])] if qwinff else [])
        results = {name: ([], []) for name, _ in programs}
        for r in range(args.rounds + 1):  # round 0 warms the caches and is not counted
            for name, argv in programs:
                t, rss = start_up(watch, argv, env)
                if r:
                    results[name][0].append(t)
                    results[name][1].append(rss)
        print(f"start-up to first mapped window, median of {args.rounds} (RSS 3 s after launch):")
        for name, (times, rsses) in results.items():
            print(f"  {name:7s} {1000 * statistics.median(times):7.1f} ms  {statistics.median(rsses):6.1f} MiB")
        if qwinff:
            q, w = results["quorin"], results["qwinff"]
            print(f"  ratio   {statistics.median(q[0]) / statistics.median(w[0]):7.3f}      "
                  f"{statistics.median(q[1]) / statistics.median(w[1]):6.3f}   (target: start-up <= 0.3)")
        else:
            print("  (QWinFF is not installed: no ratio)")

        clip = os.path.join(tmp, "clip.mp4")
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                        "testsrc2=size=640x360:rate=25:duration=10", "-f", "lavfi", "-i",
                        "sine=frequency=440:duration=10", "-c:v", "libx264", "-preset", "veryfast",
                        "-c:a", "aac", "-shortest", clip], check=True)
        folder = os.path.join(tmp, "files")
        os.makedirs(folder)
        files = []
        for i in range(args.files):
            files.append(os.path.join(folder, f"clip{i:03d}.mp4"))
            shutil.copyfile(clip, files[-1])
        rows, converting = [], []
        for _ in range(max(1, args.rounds // 2)):
            for convert, out in ((False, rows), (True, converting)):
                shutil.rmtree(os.path.join(tmp, "env"))
                env = private_env(os.environ, os.path.join(tmp, "env"), display)
                out.append(list_run(ours, files, env, 3.0, convert))
        print(f"{args.files} files on the command line, {len(rows)} runs each (median; stall: worst):")
        for label, runs in (("", rows), (" while converting", converting)):
            listed = statistics.median(r[0] for r in runs)
            probed = statistics.median(r[1] for r in runs)
            print(f"  launch to all rows listed{label}: {1000 * listed:.0f} ms, all probed: {1000 * probed:.0f} ms"
                  f"  (targets <= 300, <= 2000)")
        stall = max(r[2] for r in converting)
        print(f"  longest window-thread stall while probing and converting: {stall} ms  (target <= 50;"
              f" without converting {max(r[2] for r in rows)} ms)")
    finally:
        if watch:
            watch.close()
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
