#!/usr/bin/env python3
"""Conversion overhead: the same conversion through `quorin-convert convert` and through
ffmpeg run directly with the arguments quorin-convert would use. Runs are interleaved;
prints the ratio of the medians (quorin / ffmpeg).

usage: bench/run_overhead.py [BUILD_DIR] [RUNS]   (default build, 5)
"""
import os, shlex, shutil, statistics, subprocess, sys, tempfile, time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
tool = os.path.join(build, "bin", "quorin-convert")
ffmpeg = shutil.which("ffmpeg")

with tempfile.TemporaryDirectory(prefix="quorin-bench-") as tmp:
    env = dict(os.environ, QUORIN_DATA_DIR=os.path.join(tmp, "data"), TMPDIR=tmp)
    src = os.path.join(tmp, "source.mp4")
    subprocess.run([ffmpeg, "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:duration=20",
                    "-f", "lavfi", "-i", "sine=frequency=440:duration=20", "-shortest", "-c:v", "libx264",
                    "-pix_fmt", "yuv420p", "-c:a", "aac", src], check=True)
    quorin_times, ffmpeg_times = [], []
    for i in range(runs):
        out_q = os.path.join(tmp, f"q{i}")
        t = time.perf_counter()
        subprocess.run([tool, "convert", "--format", "mkv", "--output-dir", out_q, src], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        quorin_times.append(time.perf_counter() - t)

        out_f = os.path.join(tmp, f"f{i}")
        os.makedirs(out_f)
        line = subprocess.run([tool, "command", "--format", "mkv", "--output-dir", out_f, src], env=env,
                              check=True, capture_output=True, text=True).stdout.strip()
        argv = shlex.split(line)  # plain temporary paths: the display quoting is exact here
        argv[0] = ffmpeg
        os.makedirs(os.path.dirname(argv[argv.index("-progress") + 1]), exist_ok=True)
        t = time.perf_counter()
        subprocess.run(argv, env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        ffmpeg_times.append(time.perf_counter() - t)

    mq, mf = statistics.median(quorin_times), statistics.median(ffmpeg_times)
    print(f"conversion overhead: quorin-convert median {mq:.3f}s, ffmpeg median {mf:.3f}s, "
          f"ratio {mq / mf:.3f} (runs {runs})")
