#!/usr/bin/env python3
"""Probe throughput: `quorin-convert probe` on 50 files in one process against one
ffprobe process per file. Prints the ratio ffprobe time / quorin time (higher is better).

usage: bench/run_probe.py [BUILD_DIR] [RUNS]   (default build, 5)
"""
import os, shutil, statistics, subprocess, sys, tempfile, time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
tool = os.path.join(build, "bin", "quorin-convert")
ffprobe = shutil.which("ffprobe")
media = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "media")

with tempfile.TemporaryDirectory(prefix="quorin-bench-") as tmp:
    files = []
    if os.path.isdir(media):
        files = sorted(os.path.join(media, f) for f in os.listdir(media) if not f.endswith(".md"))[:50]
    while len(files) < 50:  # no corpus: short generated clips
        path = os.path.join(tmp, f"clip{len(files)}.mp4")
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=160x120:duration=1",
                        "-f", "lavfi", "-i", "sine=duration=1", "-shortest", path], check=True)
        files.append(path)
    env = dict(os.environ, QUORIN_DATA_DIR=os.path.join(tmp, "data"), TMPDIR=tmp)
    ours, theirs = [], []
    for _ in range(runs):
        t = time.perf_counter()
        subprocess.run([tool, "probe"] + files, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        ours.append(time.perf_counter() - t)
        t = time.perf_counter()
        for f in files:
            subprocess.run([ffprobe, "-v", "error", "-show_format", "-show_streams", f],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        theirs.append(time.perf_counter() - t)
    mo, mt = statistics.median(ours), statistics.median(theirs)
    print(f"probe throughput ({len(files)} files): quorin-convert median {mo:.3f}s, ffprobe median {mt:.3f}s, "
          f"quorin is {mt / mo:.1f}x faster (runs {runs})")
