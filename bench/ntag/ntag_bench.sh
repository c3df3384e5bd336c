#!/usr/bin/env bash
# ntag beside the tools people would use instead, in one run, on a video of at least
# 1 GiB made by ffmpeg, once with faststart and once with moov at the end.
#   usage: bench/ntag/ntag_bench.sh [path-to-ntag]     (NTAG_BENCH_GIB=1 sets the size)
# Cases: (a) first tagging with a ~500 KB cover, (b) re-tagging with another ~500 KB cover,
# (c) changing only the title. Reports wall time, bytes written and peak memory, prints a
# table and writes ntag_bench.csv into the work folder (NTAG_BENCH_DIR, default /tmp).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ntag="${1:-$here/../../build/native/ntag/ntag}"
gib="${NTAG_BENCH_GIB:-1}"
work="${NTAG_BENCH_DIR:-/tmp}/ntag-bench"
mkdir -p "$work"
cd "$work"

if [ ! -f base-end.mp4 ] || [ "$(stat -c %s base-end.mp4)" -lt $((gib << 30)) ]; then
  echo "making a ${gib} GiB video (once)..." >&2
  ffmpeg -v error -y -f lavfi -i testsrc2=size=1280x720:rate=25 -f lavfi -i sine=frequency=440 -t 10 \
    -c:v libx264 -preset ultrafast -b:v 60M -c:a aac piece.mp4
  piece="$(stat -c %s piece.mp4)"
  loops=$(( (gib << 30) / piece + 1 ))
  ffmpeg -v error -y -stream_loop "$loops" -i piece.mp4 -c copy base-end.mp4
  ffmpeg -v error -y -i base-end.mp4 -c copy -movflags +faststart base-fast.mp4
fi
for n in 1 2; do
  [ -f cover$n.jpg ] || ffmpeg -v error -y -f lavfi -i "testsrc2=size=900x900,noise=alls=60:allf=t+u" \
    -frames:v 1 -q:v $((n + 1)) cover$n.jpg
done

csv="$work/ntag_bench.csv"
echo "layout,tool,case,seconds,bytes_written,peak_kib" > "$csv"
# measure LAYOUT TOOL CASE command...: wall time, bytes written (from the kernel's count of
# pages dirtied, in 512-byte blocks) and peak resident memory.
measure() {
  local layout="$1" tool="$2" case="$3"
  shift 3
  sync
  /usr/bin/time -f "%e %O %M" -o time.txt "$@" > /dev/null 2> err.txt || { echo "$tool $case failed: $(cat err.txt)" >&2; return; }
  read -r secs blocks peak < time.txt
  echo "$layout,$tool,$case,$secs,$((blocks * 512)),$peak" >> "$csv"
}

for layout in fast end; do
  base="base-$layout.mp4"
  measure "$layout" cp copy cp "$base" cp.mp4
  rm -f cp.mp4

  cp "$base" ntag.mp4
  measure "$layout" ntag a "$ntag" -meta:title=Bench -remove-cover:all -add-cover:front:cover1.jpg ntag.mp4
  measure "$layout" ntag b "$ntag" -remove-cover:all -add-cover:front:cover2.jpg ntag.mp4
  measure "$layout" ntag c "$ntag" -meta:title=Changed ntag.mp4
  rm -f ntag.mp4

  cp "$base" ap.mp4
  measure "$layout" AtomicParsley a AtomicParsley ap.mp4 --title Bench --artwork REMOVE_ALL --artwork cover1.jpg --overWrite
  measure "$layout" AtomicParsley b AtomicParsley ap.mp4 --artwork REMOVE_ALL --artwork cover2.jpg --overWrite
  measure "$layout" AtomicParsley c AtomicParsley ap.mp4 --title Changed --overWrite
  rm -f ap.mp4

  measure "$layout" ffmpeg a ffmpeg -v error -y -i "$base" -i cover1.jpg -map 0:v:0 -map 0:a -map 1 -c copy \
    -disposition:v:1 attached_pic -metadata title=Bench ff-a.mp4
  measure "$layout" ffmpeg b ffmpeg -v error -y -i ff-a.mp4 -i cover2.jpg -map 0:v:0 -map 0:a -map 1 -c copy \
    -disposition:v:1 attached_pic ff-b.mp4
  measure "$layout" ffmpeg c ffmpeg -v error -y -i ff-b.mp4 -map 0 -c copy -metadata title=Changed ff-c.mp4
  rm -f ff-a.mp4 ff-b.mp4 ff-c.mp4

  if command -v kid3-cli > /dev/null; then
    cp "$base" kid3.mp4
    measure "$layout" kid3-cli a kid3-cli -c "set title Bench" -c "set picture:'cover1.jpg' ''" kid3.mp4
    measure "$layout" kid3-cli b kid3-cli -c "set picture:'cover2.jpg' ''" kid3.mp4
    measure "$layout" kid3-cli c kid3-cli -c "set title Changed" kid3.mp4
    rm -f kid3.mp4
  else
    echo "$layout,kid3-cli,-,not installed,," >> "$csv"
  fi
done

echo "video: $(stat -c %s base-fast.mp4) bytes; covers: $(stat -c %s cover1.jpg), $(stat -c %s cover2.jpg) bytes"
column -s, -t < "$csv"
echo "CSV: $csv"
