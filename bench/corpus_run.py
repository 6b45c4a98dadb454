#!/usr/bin/env python3
"""Corpus check: every file of the shared media corpus through quorin-convert in the
video (mp4), audio (mp3) and GIF modes, judged against what ffmpeg itself decodes.

  reference  ffmpeg -v error -i FILE -map 0:v:0 (0:a:0 for mp3) -f framecrc -  exits 0 and
             decodes at least one frame
  ok         quorin-convert exits 0 and its output decodes without error and lasts > 0 s
  false failure   the reference decodes, quorin-convert fails
  false success   quorin-convert reports success, but its output is missing, does not
                  decode to a frame or has no duration
  left behind     quorin-convert failed and left files in its output folder

Prints a table per mode and the cases that went wrong; with --markdown FILE also
writes them there. Exit status 1 when any false result or leftover was seen.

usage: bench/corpus_run.py [--build DIR] [--timeout S] [--markdown FILE] [--only SUBSTR]
                          [--modes video,audio,gif]
"""
import argparse, os, re, shutil, subprocess, sys, tempfile, time

MODES = [("video", ["--mode", "video", "--format", "mp4"], "0:v:0"),
         ("audio", ["--mode", "audio", "--format", "mp3"], "0:a:0"),
         ("gif", ["--mode", "gif"], "0:v:0")]


def run(argv, timeout, env=None):
    try:
        p = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout, env=env)
        return p.returncode, p.stdout.decode(errors="replace")
    except subprocess.TimeoutExpired:
        return None, "timeout"


def decodes(path, stream, timeout):
    """True when the stream decodes without error to at least one frame (ffmpeg exits 0
    on a file that holds no frame at all, such as a WAV header without samples)."""
    code, out = run(["ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", stream, "-f", "framecrc", "-"],
                    timeout)
    return code == 0 and any(re.match(r"\d+,", l) for l in out.splitlines())


def duration(path, timeout):
    code, out = run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path], timeout)
    try:
        return float(out.strip().splitlines()[-1]) if code == 0 else 0.0
    except (ValueError, IndexError):
        return 0.0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(here, "..", "build"))
    ap.add_argument("--media", default=os.environ.get("QUORIN_MEDIA_DIR", os.path.join(here, "..", "..", "shared", "media")))
    ap.add_argument("--timeout", type=float, default=300)
    ap.add_argument("--markdown")
    ap.add_argument("--only", default="")
    ap.add_argument("--modes", default="video,audio,gif", help="comma-separated subset of video,audio,gif")
    args = ap.parse_args()
    tool = os.path.join(args.build, "bin", "quorin-convert")
    files = sorted(f for f in os.listdir(args.media) if not f.endswith(".md") and args.only in f)
    rows, problems = {}, []
    started = time.time()
    with tempfile.TemporaryDirectory(prefix="quorin-corpus-") as tmp:
        env = dict(os.environ, QUORIN_DATA_DIR=os.path.join(tmp, "data"), TMPDIR=tmp,
                   XDG_CONFIG_HOME=os.path.join(tmp, "config"), HOME=tmp)
        for mode, opts, stream in [m for m in MODES if m[0] in args.modes.split(",")]:
            counts = dict(files=0, reference=0, ok=0, both_fail=0, extra_ok=0, false_failure=0,
                          false_success=0, left_behind=0, timeout=0, seconds=0.0)
            for name in files:
                src = os.path.join(args.media, name)
                out_dir = os.path.join(tmp, "out", mode, name)
                os.makedirs(out_dir)
                counts["files"] += 1
                ref = decodes(src, stream, args.timeout)
                counts["reference"] += ref
                t = time.time()
                code, text = run([tool, "convert"] + opts + ["--output-dir", out_dir, src], args.timeout, env)
                counts["seconds"] += time.time() - t
                outputs = [os.path.join(out_dir, f) for f in os.listdir(out_dir)]
                if code is None:
                    counts["timeout"] += 1
                    problems.append((mode, name, "timeout", ""))
                    continue
                if code == 0:
                    out = text.strip().splitlines()[-1] if text.strip() else ""
                    good = os.path.isfile(out) and decodes(out, "0", args.timeout) and duration(out, args.timeout) > 0
                    if not good:
                        counts["false_success"] += 1
                        problems.append((mode, name, "false success", out))
                    elif ref:
                        counts["ok"] += 1
                    else:
                        counts["extra_ok"] += 1
                else:
                    if outputs:
                        counts["left_behind"] += 1
                        problems.append((mode, name, "left behind", ", ".join(os.path.basename(o) for o in outputs)))
                    if ref:
                        counts["false_failure"] += 1
                        last = [l for l in text.splitlines() if l.strip()]
                        problems.append((mode, name, "false failure", last[-1] if last else ""))
                    else:
                        counts["both_fail"] += 1
                shutil.rmtree(out_dir, ignore_errors=True)
            rows[mode] = counts
    cols = ["files", "reference", "ok", "both_fail", "extra_ok", "false_failure", "false_success",
            "left_behind", "timeout", "seconds"]
    lines = ["| mode | " + " | ".join(cols) + " |", "|" + "---|" * (len(cols) + 1)]
    for mode, c in rows.items():
        lines.append("| " + mode + " | " + " | ".join(
            f"{c[k]:.0f}" if k == "seconds" else str(c[k]) for k in cols) + " |")
    report = "\n".join(lines)
    if problems:
        report += "\n\n| mode | file | result | detail |\n|---|---|---|---|\n" + "\n".join(
            f"| {m} | {n} | {r} | {d.replace('|', '/')[:160]} |" for m, n, r, d in problems)
    report += f"\n\nTotal {time.time() - started:.0f} s.\n"
    print(report)
    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write("# Corpus run\n\n`bench/corpus_run.py` on the shared media corpus: quorin-convert in three\n"
                    "modes against ffmpeg's own decoding (reference = the stream decodes; ok = our\n"
                    "output decodes and lasts more than 0 s; extra_ok = ours succeeded where the\n"
                    "reference stream did not decode).\n\n" + report)
    return 1 if any(c["false_failure"] or c["false_success"] or c["left_behind"] for c in rows.values()) else 0


if __name__ == "__main__":
    sys.exit(main())
