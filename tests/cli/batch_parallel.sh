#!/usr/bin/env bash
# The batch recipe of docs/batch.md on this machine: GNU parallel runs two
# quorin-convert at once over 20 files, two of each name from different folders, into
# one output folder. Every source must give one playable output of its own.
set -euo pipefail
convert=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
export HOME=$root/home TMPDIR=$root/tmp QUORIN_DATA_DIR=$root/data
mkdir -p "$HOME" "$TMPDIR" "$root/a" "$root/b" "$root/out"
for i in $(seq 1 10); do
  ffmpeg -v error -f lavfi -i "testsrc=size=160x120:rate=15:duration=1" -f lavfi \
    -i "sine=frequency=$((200 + i * 50)):duration=1" -c:v libx264 -preset ultrafast -c:a aac -shortest \
    "$root/a/clip $i.mp4"
  cp "$root/a/clip $i.mp4" "$root/b/clip $i.mp4"
done

# Each name twice in a row, so both copies run at once and race for one output name.
for i in $(seq 1 10); do printf '%s\0' "$root/a/clip $i.mp4" "$root/b/clip $i.mp4"; done |
  parallel -0 -j2 --halt never --joblog "$root/jobs.log" \
    "$convert" convert --mode video --format mkv --output-dir "$root/out" {} >/dev/null 2>"$root/errors" ||
  true  # the job log says which failed

fail() { echo "FAIL: $*" >&2; cat "$root/jobs.log" "$root/errors" >&2; exit 1; }
# Every job exited 0 (column 7 of the job log).
awk 'NR > 1 && $7 != 0 { bad = 1 } END { exit bad }' "$root/jobs.log" || fail "a job failed"
count=$(find "$root/out" -type f | wc -l)
[ "$count" -eq 20 ] || fail "$count outputs for 20 sources"
while IFS= read -r -d '' out; do
  [[ $out == *.mkv ]] || fail "unexpected file $out"
  duration=$(ffprobe -v error -select_streams v:0 -show_entries format=duration -of csv=p=0 "$out")
  awk -v d="$duration" 'BEGIN { exit !(d > 0.5) }' || fail "$out does not play ($duration)"
done < <(find "$root/out" -type f -print0)
echo "20 files converted by two processes side by side"
