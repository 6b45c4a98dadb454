#!/usr/bin/env python3
"""Conversion overhead: the same conversion through `quorin-convert convert` and through
ffmpeg run directly with the arguments quorin-convert would use. Runs are interleaved;
prints the ratio of the medians (quorin / ffmpeg).

usage: bench/run_overhead.py [BUILD_DIR] [RUNS] [SECONDS]   (default build, 5, 60)

The overhead is a fixed cost per file (our process start with the FFmpeg libraries
and the probe), so the ratio depends on the length of the conversion: the default is
a one-minute 720p clip; the fixed cost is printed in milliseconds as well. On a
machine shared with other work the wall-clock ratio is noisy, so the CPU time (user +
system of the whole process tree) is compared too.
"""


def timed(argv, env):
    """Wall seconds and CPU seconds (children's user + system) of one run."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    t = time.perf_counter()
    subprocess.run(argv, env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - t
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)

import os, resource, shlex, shutil, statistics, subprocess, sys, tempfile, time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 60
tool = os.path.join(build, "bin", "quorin-convert")
ffmpeg = shutil.which("ffmpeg")

with tempfile.TemporaryDirectory(prefix="quorin-bench-") as tmp:
    env = dict(os.environ, QUORIN_DATA_DIR=os.path.join(tmp, "data"), TMPDIR=tmp)
    src = os.path.join(tmp, "source.mp4")
    subprocess.run([ffmpeg, "-v", "error", "-y", "-f", "lavfi", "-i", f"testsrc2=size=1280x720:rate=25:duration={seconds}",
                    "-f", "lavfi", "-i", f"sine=frequency=440:duration={seconds}", "-shortest", "-c:v", "libx264",
                    "-pix_fmt", "yuv420p", "-c:a", "aac", src], check=True)
    quorin_times, ffmpeg_times, quorin_cpu, ffmpeg_cpu = [], [], [], []
    for i in range(runs):
        def run_quorin():
            wall, cpu = timed([tool, "convert", "--format", "mkv", "--output-dir", os.path.join(tmp, f"q{i}"), src],
                              env)
            quorin_times.append(wall)
            quorin_cpu.append(cpu)

        def run_ffmpeg():
            out_f = os.path.join(tmp, f"f{i}")
            os.makedirs(out_f)
            line = subprocess.run([tool, "command", "--format", "mkv", "--output-dir", out_f, src], env=env,
                                  check=True, capture_output=True, text=True).stdout.strip()
            argv = shlex.split(line)  # plain temporary paths: the display quoting is exact here
            argv[0] = ffmpeg
            os.makedirs(os.path.dirname(argv[argv.index("-progress") + 1]), exist_ok=True)
            wall, cpu = timed(argv, env)
            ffmpeg_times.append(wall)
            ffmpeg_cpu.append(cpu)

        # Alternate the order so that a drifting load favours neither side.
        for step in ((run_quorin, run_ffmpeg) if i % 2 == 0 else (run_ffmpeg, run_quorin)):
            step()

    mq, mf = statistics.median(quorin_times), statistics.median(ffmpeg_times)
    print(f"conversion overhead: quorin-convert median {mq:.3f}s, ffmpeg median {mf:.3f}s, "
          f"ratio {mq / mf:.3f}, difference {1000 * (mq - mf):.0f} ms ({seconds} s 720p clip, runs {runs})")
    cq, cf = statistics.median(quorin_cpu), statistics.median(ffmpeg_cpu)
    print(f"CPU time: quorin-convert median {cq:.3f}s, ffmpeg median {cf:.3f}s, ratio {cq / cf:.3f}")
