#!/usr/bin/env python3
"""Plays the same files for N seconds with quorin-play and with ffplay under Xvfb
and prints, for each file, the ratio of CPU time, the drops and the mean |A-V| of
each player.

usage: bench/player_bench.py [--build DIR] [--seconds 20] [--rounds 2] [--size 1920x1080] [FILE...]
Without files it generates a 30 fps H.264 + AAC clip of that size (1080p) in a
temporary folder.
Audio goes to SDL's dummy driver for both players (no sound server under Xvfb).
The players take turns for each round, so that a change in the machine's load
touches both; totals are over all rounds.
"""
import argparse
import json
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time


def start_xvfb():
    for n in range(90, 200):
        if os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
            continue
        proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1920x1080x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                return proc, f":{n}"
            if proc.poll() is not None:
                break
            time.sleep(0.05)
        proc.kill()
        proc.wait()
    raise RuntimeError("no free X display for Xvfb")


def make_clip(folder, size, seconds):
    """A 30 fps H.264 + AAC clip of the test pattern and a 440 Hz tone, in `folder`."""
    clip = os.path.join(folder, f"{size}p30_h264_aac.mp4")
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y",
                    "-f", "lavfi", "-i", f"testsrc2=size={size}:rate=30:duration={seconds}",
                    "-f", "lavfi", "-i", f"sine=frequency=440:sample_rate=48000:duration={seconds}",
                    "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p",
                    "-c:a", "aac", "-ac", "2", "-shortest", clip], check=True)
    return clip


def stop_and_remove(xvfb, folder):
    if xvfb:
        xvfb.terminate()
        xvfb.wait()
    shutil.rmtree(folder, ignore_errors=True)


def children_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def run_quorin(play, path, seconds, env):
    before = children_cpu()
    proc = subprocess.Popen([play, path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, env=env, text=True)
    time.sleep(seconds)
    out, _ = proc.communicate("quit\n", timeout=30)
    cpu = children_cpu() - before
    line = [l for l in out.splitlines() if l.startswith("{")][-1]
    c = json.loads(line)
    return {"cpu_s": cpu, "shown": c["shown"], "drops": c["late_drops"] + c["early_drops"],
            "mean_abs_av_ms": c["mean_abs_av_ms"]}


STATUS = re.compile(r"([-\d.]+)\s+(A-V|M-V|M-A):\s*([-\d.]+)\s+fd=\s*(\d+)")


def run_ffplay(path, seconds, env):
    before = children_cpu()
    proc = subprocess.Popen(["ffplay", "-hide_banner", "-t", str(seconds), "-autoexit", path],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            env=env)
    _, err = proc.communicate(timeout=seconds + 60)
    cpu = children_cpu() - before
    diffs, drops = [], 0
    for part in re.split(r"[\r\n]", err.decode(errors="replace")):
        m = STATUS.search(part)
        if m and m.group(2) == "A-V":
            diffs.append(abs(float(m.group(3))))
            drops = int(m.group(4))
    mean = 1000.0 * sum(diffs) / len(diffs) if diffs else float("nan")
    return {"cpu_s": cpu, "drops": drops, "mean_abs_av_ms": mean}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(here, "..", "build-player"))
    ap.add_argument("--seconds", type=float, default=20.0)
    ap.add_argument("--rounds", type=int, default=2)
    ap.add_argument("--size", default="1920x1080")
    ap.add_argument("files", nargs="*")
    args = ap.parse_args()
    play = os.path.join(args.build, "bin", "quorin-play")
    if not os.path.exists(play):
        sys.exit(f"{play} not built")

    tmp = tempfile.mkdtemp(prefix="quorin-player-bench-")
    xvfb = None
    try:
        files = args.files
        if not files:
            files = [make_clip(tmp, args.size, args.seconds + 4)]
        xvfb, display = start_xvfb()
        env = dict(os.environ, DISPLAY=display, SDL_VIDEODRIVER="x11", SDL_AUDIODRIVER="dummy",
                   TMPDIR=tmp, HOME=tmp)
        for path in files:
            qs, fs = [], []
            for r in range(args.rounds):
                qs.append(run_quorin(play, path, args.seconds, env))
                fs.append(run_ffplay(path, args.seconds, env))
                print(f"  round {r + 1}: quorin-play cpu {qs[-1]['cpu_s']:.2f} s drops {qs[-1]['drops']} "
                      f"|A-V| {qs[-1]['mean_abs_av_ms']:.1f} ms; ffplay cpu {fs[-1]['cpu_s']:.2f} s "
                      f"drops {fs[-1]['drops']} |A-V| {fs[-1]['mean_abs_av_ms']:.1f} ms")
                sys.stdout.flush()
            q_cpu = sum(q["cpu_s"] for q in qs)
            f_cpu = sum(f["cpu_s"] for f in fs)
            q_drops = sum(q["drops"] for q in qs)
            q_pictures = sum(q["shown"] + q["drops"] for q in qs)
            f_drops = sum(f["drops"] for f in fs)
            q_av = sum(q["mean_abs_av_ms"] for q in qs) / len(qs)
            f_av = sum(f["mean_abs_av_ms"] for f in fs) / len(fs)
            print(f"{os.path.basename(path)}: {args.rounds} x {args.seconds:.0f} s each")
            print(f"  cpu  quorin-play {q_cpu:.2f} s  ffplay {f_cpu:.2f} s  ratio {q_cpu / f_cpu:.3f}")
            print(f"  drops quorin-play {q_drops} of {q_pictures} ({100.0 * q_drops / max(q_pictures, 1):.2f} %)"
                  f"  ffplay {f_drops}")
            print(f"  mean |A-V| quorin-play {q_av:.2f} ms  ffplay {f_av:.2f} ms")
            sys.stdout.flush()
    finally:
        stop_and_remove(xvfb, tmp)


if __name__ == "__main__":
    main()
