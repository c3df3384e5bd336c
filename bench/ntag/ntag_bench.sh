#!/usr/bin/env bash
# ntag beside the tools people would use instead, in one run, on a video of at least
# 1 GiB made by ffmpeg, once with faststart and once with moov at the end.
#   usage: bench/ntag/ntag_bench.sh [path-to-ntag [path-to-ntag_bench_measure [path-to-ntag.exe]]]
#   NTAG_BENCH_GIB=1 sets the size, NTAG_BENCH_RUNS=3 the runs whose median is shown,
#   NTAG_BENCH_COLD=1 empties the page cache before each tool (as root), as for a video
#   that was not read lately. NTAG_BENCH_BEFORE=path-to-an-older-ntag runs it right after ntag
#   on every case, as "ntag (before)", to show what a change did to each write path.
# Cases: (a) first tagging with a ~500 KB cover, (b) re-tagging with another ~500 KB cover,
# (c) changing only the title. Reports wall time, bytes written and peak memory, prints a
# table and writes ntag_bench.csv into the work folder (NTAG_BENCH_DIR, default /tmp).
# The videos stay in the page cache, as they would right after a user copied them; `cp`
# does not flush what it wrote, so `cp+sync` (cp, then fsync of the copy) is shown beside
# it: ntag flushes its copy before it replaces the video.
# Given ntag.exe and with Wine installed, "ntag.exe (Wine)" runs the same cases beside ntag,
# with the Wine server kept up between runs, as it is while Mivora runs under Wine. The target
# is the rewrite, fast (a): under 2x ntag's time; an in-place edit is mostly Wine's own start.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ntag="$(realpath "${1:-$here/../../build/native/ntag/ntag}")"
measure_tool="$(realpath "${2:-$here/../../build/native/bench/ntag_bench_measure}")"
ntag_exe=""
if [ -n "${3:-}" ]; then
  if [ -f "$3" ] && command -v wine > /dev/null; then
    ntag_exe="$(realpath "$3")"
  else
    echo "ntag_bench: no ntag.exe under Wine ($3 or wine missing; scripts/install-deps installs Wine)" >&2
  fi
fi
gib="${NTAG_BENCH_GIB:-1}"
runs="${NTAG_BENCH_RUNS:-3}"
cold="${NTAG_BENCH_COLD:-0}"
before="${NTAG_BENCH_BEFORE:+$(realpath "$NTAG_BENCH_BEFORE")}"
if [ "$cold" = 1 ] && [ ! -w /proc/sys/vm/drop_caches ]; then
  echo "ntag_bench: NTAG_BENCH_COLD=1 needs root to empty the page cache" >&2
  exit 1
fi
work="${NTAG_BENCH_DIR:-/tmp}/ntag-bench"
for tool in ffmpeg AtomicParsley; do
  command -v "$tool" > /dev/null || { echo "ntag_bench: $tool is missing (scripts/install-deps --bench)" >&2; exit 1; }
done
[ -x "$measure_tool" ] || { echo "ntag_bench: $measure_tool is missing (scripts/bench builds it)" >&2; exit 1; }
mkdir -p "$work"
cd "$work"
if [ -n "$ntag_exe" ]; then
  source "$here/../../scripts/wine-env"
  # A server started here is stopped at the end; one that was already up is left alone.
  if wineserver -p < /dev/null > /dev/null 2>&1; then
    trap 'wineserver -k > /dev/null 2>&1 || true' EXIT
  fi
  wine cmd /c exit < /dev/null > /dev/null 2>&1 || true
fi

if [ ! -f base-fast.mp4 ] || [ "$(stat -c %s base-end.mp4)" -lt $((gib << 30)) ]; then
  echo "making a ${gib} GiB video (once)..." >&2
  ffmpeg -v error -y -f lavfi -i testsrc2=size=1280x720:rate=25 -f lavfi -i sine=frequency=440 -t 10 \
    -c:v libx264 -preset ultrafast -b:v 60M -c:a aac piece.mp4
  piece="$(stat -c %s piece.mp4)"
  loops=$(( (gib << 30) / piece + 1 ))
  ffmpeg -v error -y -stream_loop "$loops" -i piece.mp4 -c copy base-end.mp4
  ffmpeg -v error -y -i base-end.mp4 -c copy -movflags +faststart base-fast.mp4
  rm -f piece.mp4
fi
for n in 1 2; do
  [ -f cover$n.jpg ] || ffmpeg -v error -y -f lavfi -i "testsrc2=size=900x900,noise=alls=60:allf=t+u" \
    -frames:v 1 -q:v $((n + 1)) cover$n.jpg
done

csv="$work/ntag_bench.csv"
raw="$work/ntag_bench_runs.csv"
echo "layout,tool,case,seconds,bytes_written,peak_kib" > "$raw"
# measure LAYOUT TOOL CASE command...: wall time from the tool's start to its exit, bytes
# written (the kernel's count of 512-byte blocks it sent to storage) and peak resident memory.
measure() {
  local layout="$1" tool="$2" case="$3"
  shift 3
  # Each tool starts on a quiet disk: what the last one left to write is written, and the
  # file system's own work after it (freeing a replaced video's blocks) has settled.
  sync
  [ "$cold" = 1 ] && echo 3 > /proc/sys/vm/drop_caches
  sleep 1
  if ! "$measure_tool" time.txt "$@" > /dev/null 2> err.txt; then
    echo "$tool $case failed: $(head -c 300 err.txt)" >&2
    echo "$layout,$tool,$case,failed,," >> "$raw"
    return
  fi
  local secs bytes peak
  read -r secs bytes peak < time.txt
  echo "$layout,$tool,$case,$secs,$bytes,$peak" >> "$raw"
}

# tracked CASE command... (the video last): runs it and notes in paths.txt which write path
# ntag took, from what became of the file: a new file (rewrite), the same file grown (appended
# movie), or the same file at the same size (in place).
paths="$work/paths.txt"
: > "$paths"
tracked() {
  local case="$1" video="${*: -1}" before after
  shift
  before="$(stat -c '%i %s' "$video")"
  "$@"
  after="$(stat -c '%i %s' "$video")"
  local path="in place"
  if [ "${after% *}" != "${before% *}" ]; then path=rewrite; elif [ "$after" != "$before" ]; then path="appended movie"; fi
  echo "$layout,$case,$path" >> "$paths"
}

for run in $(seq "$runs"); do
  echo "run $run of $runs..." >&2
  for layout in fast end; do
    base="base-$layout.mp4"
    measure "$layout" cp a cp "$base" cp.mp4
    rm -f cp.mp4
    measure "$layout" cp+sync a sh -c 'cp "$1" "$2" && sync "$2"' sh "$base" cp.mp4
    rm -f cp.mp4

    cp "$base" ntag.mp4
    tracked a measure "$layout" ntag a "$ntag" -meta:title=Bench -remove-cover:all -add-cover:front:cover1.jpg \
      ntag.mp4
    tracked b measure "$layout" ntag b "$ntag" -remove-cover:all -add-cover:front:cover2.jpg ntag.mp4
    tracked c measure "$layout" ntag c "$ntag" -meta:title=Changed ntag.mp4
    rm -f ntag.mp4

    if [ -n "$before" ]; then
      cp "$base" before.mp4
      measure "$layout" "ntag (before)" a "$before" -meta:title=Bench -remove-cover:all -add-cover:front:cover1.jpg \
        before.mp4
      measure "$layout" "ntag (before)" b "$before" -remove-cover:all -add-cover:front:cover2.jpg before.mp4
      measure "$layout" "ntag (before)" c "$before" -meta:title=Changed before.mp4
      rm -f before.mp4
    fi

    if [ -n "$ntag_exe" ]; then
      cp "$base" exe.mp4
      measure "$layout" "ntag.exe (Wine)" a wine "$ntag_exe" -meta:title=Bench -remove-cover:all \
        -add-cover:front:cover1.jpg exe.mp4
      measure "$layout" "ntag.exe (Wine)" b wine "$ntag_exe" -remove-cover:all -add-cover:front:cover2.jpg exe.mp4
      measure "$layout" "ntag.exe (Wine)" c wine "$ntag_exe" -meta:title=Changed exe.mp4
      rm -f exe.mp4
    fi

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
      echo "$layout,kid3-cli,-,not installed,," >> "$raw"
    fi
  done
done

# One row per layout, tool and case: the run with the median time.
awk -F, 'NR == 1 { print; next }
  { key = $1 "," $2 "," $3; if (!(key in seen)) { order[++n] = key; seen[key] = 1 }
    rows[key, ++count[key]] = $0; secs[key, count[key]] = $4 }
  END {
    for (i = 1; i <= n; ++i) {
      key = order[i]; m = count[key]
      for (a = 1; a <= m; ++a) idx[a] = a
      for (a = 1; a <= m; ++a) for (b = a + 1; b <= m; ++b)
        if (secs[key, idx[b]] + 0 < secs[key, idx[a]] + 0) { t = idx[a]; idx[a] = idx[b]; idx[b] = t }
      print rows[key, idx[int((m + 1) / 2)]]
    }
  }' "$raw" > "$csv"

echo "video: $(stat -c %s base-fast.mp4) bytes; covers: $(stat -c %s cover1.jpg), $(stat -c %s cover2.jpg) bytes;" \
  "median of $runs runs; page cache $([ "$cold" = 1 ] && echo "emptied before each tool" || echo "warm")"
column -s, -t < "$csv"
# The targets: (a) against cp; (b) and (c) as the speed-up over each peer; peak memory.
awk -F, -v cover="$(stat -c %s cover1.jpg)" '
  FILENAME != ARGV[ARGC - 1] { path[$1 "," $2] = $3; next }
  FNR > 1 && $4 != "failed" { t[$1 "," $2 "," $3] = $4; w[$1 "," $2 "," $3] = $5; m[$1 "," $2 "," $3] = $6 }
  END {
    print ""
    for (l = 1; l <= 2; ++l) {
      layout = l == 1 ? "fast" : "end"
      k = layout ",ntag,a"
      if ((layout ",cp,a") in t && k in t)
        printf "%-4s (a) ntag / cp: %.2fx   ntag / cp+sync: %.2fx\n", layout, t[k] / t[layout ",cp,a"],
               t[k] / t[layout ",cp+sync,a"]
      split("b c", cases, " ")
      for (c = 1; c <= 2; ++c) {
        k = layout ",ntag," cases[c]
        if (!(k in t)) continue
        line = sprintf("%-4s (%s) speed-up of ntag over", layout, cases[c])
        split("AtomicParsley ffmpeg kid3-cli", peers, " ")
        for (p = 1; p <= 3; ++p) {
          q = layout "," peers[p] "," cases[c]
          if (!(q in t)) continue
          line = line sprintf("  %s %.1fx (%s)", peers[p], t[q] / t[k], w[q] > 100e6 ? "rewrote" : "in place")
        }
        print line
      }
      peak = 0
      for (c = 1; c <= 3; ++c) {
        k = layout ",ntag," substr("abc", c, 1)
        if ((k in m) && m[k] > peak) peak = m[k]
      }
      printf "%-4s ntag peak memory %d KiB (limit %d KiB)\n", layout, peak, 32 * 1024 + 2 * cover / 1024
      line = ""
      for (c = 1; c <= 3; ++c) {
        k = layout ",ntag," substr("abc", c, 1)
        q = layout ",ntag.exe (Wine)," substr("abc", c, 1)
        if ((k in t) && (q in t)) line = line sprintf("  (%s) %.2fx", substr("abc", c, 1), t[q] / t[k])
      }
      if (line != "") printf "%-4s ntag.exe under Wine / ntag:%s\n", layout, line
      line = ""
      for (c = 1; c <= 3; ++c) {
        k = layout ",ntag," substr("abc", c, 1)
        q = layout ",ntag (before)," substr("abc", c, 1)
        if ((k in t) && (q in t))
          line = line sprintf("  (%s) %s %.2fx", substr("abc", c, 1), path[layout "," substr("abc", c, 1)], t[k] / t[q])
      }
      if (line != "") printf "%-4s ntag / ntag (before), by the path ntag took:%s\n", layout, line
    }
  }' "$paths" "$csv"
echo "CSV: $csv (every run: $raw)"

# Cover swap, on the faststart video: (s) a first tagging with a small cover, then (d) a swap
# to a 2 MB cover (a screenshot). ntag's first tagging leaves room sized to the video, so the
# swap is made in place; the others rewrite the video. Every run is shown.
[ -f cover-small.jpg ] || ffmpeg -v error -y -f lavfi -i "testsrc2=size=320x320" -frames:v 1 -q:v 4 cover-small.jpg
[ -f cover-2mb.png ] || ffmpeg -v error -y -f lavfi -i "testsrc2=size=1000x1000,noise=alls=80:allf=u" \
  -frames:v 1 cover-2mb.png
raw="$work/ntag_bench_swap.csv"
echo "layout,tool,case,seconds,bytes_written,peak_kib" > "$raw"
for run in $(seq "$runs"); do
  echo "cover swap, run $run of $runs..." >&2
  cp base-fast.mp4 swap.mp4
  measure fast ntag s "$ntag" -meta:title=Bench -add-cover:front:cover-small.jpg swap.mp4
  measure fast ntag d "$ntag" -remove-cover:all -add-cover:front:cover-2mb.png swap.mp4
  cp base-fast.mp4 swap.mp4
  measure fast AtomicParsley s AtomicParsley swap.mp4 --title Bench --artwork cover-small.jpg --overWrite
  measure fast AtomicParsley d AtomicParsley swap.mp4 --artwork REMOVE_ALL --artwork cover-2mb.png --overWrite
  measure fast ffmpeg s ffmpeg -v error -y -i base-fast.mp4 -i cover-small.jpg -map 0:v:0 -map 0:a -map 1 -c copy \
    -disposition:v:1 attached_pic -metadata title=Bench ff-s.mp4
  measure fast ffmpeg d ffmpeg -v error -y -i ff-s.mp4 -i cover-2mb.png -map 0:v:0 -map 0:a -map 1 -c copy \
    -disposition:v:1 attached_pic ff-d.mp4
  rm -f ff-s.mp4 ff-d.mp4
  if command -v kid3-cli > /dev/null; then
    cp base-fast.mp4 swap.mp4
    measure fast kid3-cli s kid3-cli -c "set title Bench" -c "set picture:'cover-small.jpg' ''" swap.mp4
    measure fast kid3-cli d kid3-cli -c "set picture:'cover-2mb.png' ''" swap.mp4
  fi
  rm -f swap.mp4
done
echo
echo "cover swap: covers $(stat -c %s cover-small.jpg) then $(stat -c %s cover-2mb.png) bytes"
column -s, -t < "$raw"
