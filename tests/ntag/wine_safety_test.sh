#!/usr/bin/env bash
# ntag.exe under Wine on each write path (in place, appended movie, rewrite): a write that
# fails after N bytes, swept across the steps, must leave the video byte for byte as it was
# and no temporary file; flushes that keep failing from N bytes on must end in exit 0 with the
# new title or leave the video as it was; a kill at a random instant must leave, alone in its
# folder, a video that decodes with every media packet and the complete old or new title, and
# that a second run then tags. A rewrite held half way lets another video, whose name shares
# its first 220 characters, be tagged meanwhile; released or killed, each video keeps its own media;
# when the held video's name is swapped for a link meanwhile, the run fails and the link's target
# is never written. Each cause of a failed write has its own exit code.
# Mivora's Stop at a random instant leaves nothing beside the video, which holds the old or
# the new title; what kills leave, planted, goes with the next run, and only that.
#   usage: wine_safety_test.sh NTAG_EXE NTAG_FAULT_EXE WINE_RUN NTAG_STOP_EXE   (NTAG_WINE_KILL_ROUNDS=6)
set -uo pipefail
ntag="$1"
fault="$2"
wine_run="$3"
stopper="$4"
rounds="${NTAG_WINE_KILL_ROUNDS:-6}"
work="$(mktemp -d /tmp/ntag-wine-safety-XXXXXX)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
win() { "$wine_run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
# The same through drive Z:, for paths longer than winepath gives back whole.
win_long() { printf 'Z:%s' "${1//\//\\}"; }
source "${BASH_SOURCE%/*}/../support/media.sh"
now() { date +%s.%N; }

make_clips "$work/end.mp4" "$work/fast.mp4" || exit 1
ffmpeg -v error -f lavfi -i testsrc2=size=64x48:rate=10 -t 2 -c:v libx264 -movflags +faststart \
  "$work/fast2.mp4" || exit 1
make_cover "$work/old.jpg" || exit 1
ffmpeg -v error -f lavfi -i testsrc2=size=64x64 -frames:v 1 "$work/new.png" || exit 1
cover="$(win "$work/new.png")"

# The videos before the edit under test, one per write path.
mkdir -p "$work/ref"
cp "$work/fast.mp4" "$work/ref/inplace.mp4"
"$wine_run" "$ntag" -meta:title=Old "-add-cover:front:$(win "$work/old.jpg")" "$(win "$work/ref/inplace.mp4")" ||
  exit 1
cp "$work/end.mp4" "$work/ref/appended.mp4"
cp "$work/fast.mp4" "$work/ref/rewrite.mp4"
startup_start="$(now)"
"$wine_run" "$ntag" -version > /dev/null
startup="$(awk -v s="$startup_start" -v e="$(now)" 'BEGIN { print e - s }')"

for layout in inplace appended rewrite; do
  dir="$work/$layout"
  mkdir -p "$dir"
  video="$dir/v.mp4"
  reference="$work/ref/$layout.mp4"
  old_title="$(tag "$reference" title)"
  old_packets="$(packets "$reference")"
  edit=(-meta:title=New -remove-cover:all "-add-cover:front:$cover" "$(win "$video")")

  # Bytes a complete run writes, to spread the faults across all its steps.
  cp "$reference" "$video"
  total="$("$wine_run" "$fault" "${edit[@]}" 2>&1 > /dev/null | tr -d '\r' | sed -n 's/^written \([0-9]*\).*/\1/p')"
  [ -n "$total" ] || { fail "$layout: the fault build did not report its bytes"; continue; }
  [ "$(tag "$video" title)" = New ] || fail "$layout: the counting run did not tag"
  budgets="0 1 8 $((total / 3)) $((total / 2)) $((total * 2 / 3))"
  for back in 1 2 4 8 9 16; do [ "$back" -le "$total" ] && budgets="$budgets $((total - back))"; done
  for mode in write flush; do
    for budget in $budgets; do
      cp "$reference" "$video"
      NTAG_FAULT_MODE="$mode" NTAG_FAULT_AFTER="$budget" "$wine_run" "$fault" "${edit[@]}" > /dev/null \
        2> "$dir/stderr.txt"
      rc=$?
      what="$layout: $mode fault after $budget bytes"
      [ "$mode" = flush ] || [ "$rc" = 9 ] || fail "$what gave exit $rc: $(tr -d '\r' < "$dir/stderr.txt")"
      if [ "$rc" = 0 ]; then
        [ "$(tag "$video" title)" = New ] || fail "$what: exit 0 without the new title"
      else
        cmp -s "$video" "$reference" || fail "$what gave exit $rc and changed the video"
      fi
      [ "$(ls -A "$dir")" = "$(printf 'stderr.txt\nv.mp4')" ] || fail "$layout: left behind: $(ls -A "$dir")"
    done
  done

  # Kills: from just before the program's own work starts to the end of a full run.
  cp "$reference" "$video"
  run_start="$(now)"
  "$wine_run" "$ntag" "${edit[@]}" > /dev/null 2>&1 || fail "$layout: uninterrupted run failed"
  full="$(awk -v s="$run_start" -v e="$(now)" 'BEGIN { print e - s }')"
  saw_old=0 saw_new=0
  for round in $(seq "$rounds"); do
    cp "$reference" "$video"
    "$wine_run" "$ntag" "${edit[@]}" > /dev/null 2>&1 &
    pid=$!
    sleep "$(awk -v a="$startup" -v f="$full" -v r="$RANDOM" \
      'BEGIN { from = a * 0.8; if (f < from) from = 0; printf "%.4f", from + (f - from) * r / 32767 }')"
    kill -KILL "$pid" 2> /dev/null
    wait "$pid" 2> /dev/null
    sleep 0.2  # the Wine server lets go of the killed program's handles
    got="$(tag "$video" title)"
    # A kill leaves a named copy only between taking back its deletion mark and its rename over
    # the video, so beside the old video and with the lock that proves it ntag's; a lock alone
    # only around the copy's naming and rename. The next run in the folder removes them.
    left="$(ls -A "$dir" | grep -v -x -e stderr.txt -e v.mp4 | tr '\n' ' ')"
    if [ -n "$left" ]; then
      [[ "$left" =~ ^(\.ntag-[0-9]+-[0-9a-f]{16}\.(tmp|lock)\ )+$ && "$left" == *.lock\ * ]] &&
        { [[ "$left" != *.tmp\ * ]] || [ "$got" = "$old_title" ]; } ||
        fail "$layout round $round: left by the kill: $left (title '$got')"
      echo "$layout round $round: the kill met the rename, leaving $left"
    fi
    if [ "$got" = New ]; then
      saw_new=$((saw_new + 1))
    elif [ "$got" = "$old_title" ]; then
      saw_old=$((saw_old + 1))
    else
      fail "$layout round $round: title '$got'"
    fi
    [ "$(packets "$video")" = "$old_packets" ] || fail "$layout round $round: media packets changed"
    [ -z "$(decode_errors "$video")" ] || fail "$layout round $round: decode errors"
    "$wine_run" "$ntag" "${edit[@]}" > /dev/null 2> "$dir/stderr.txt" ||
      fail "$layout round $round: the run after the kill failed: $(tr -d '\r' < "$dir/stderr.txt")"
    [ "$(tag "$video" title)" = New ] || fail "$layout round $round: not tagged after the rerun"
    left="$(ls -A "$dir" | grep -v -x -e stderr.txt -e v.mp4 | tr '\n' ' ')"
    [ -z "$left" ] || fail "$layout round $round: the next run left $left"
  done
  echo "$layout: $saw_old kills saw the old tags, $saw_new the new"

  # Stops, as Mivora's: asked through ntag's event, then ended.
  printf ' %s' "${edit[@]}" > "$work/line.txt"
  for round in $(seq "$rounds"); do
    cp "$reference" "$video"
    delay="$(awk -v a="$startup" -v f="$full" -v r="$RANDOM" 'BEGIN { printf "%d", (a * 0.8 + f * r / 32767) * 1000 }')"
    how="$("$wine_run" "$stopper" "$(win "$ntag")" "$(win "$work/line.txt")" "$delay" | tr -d '\r')"
    got="$(tag "$video" title)"
    [ "$got" = New ] || [ "$got" = "$old_title" ] || fail "$layout stop round $round ($how): title '$got'"
    left="$(ls -A "$dir" | grep -v -x -e stderr.txt -e v.mp4 | tr '\n' ' ')"
    [ -z "$left" ] || fail "$layout stop round $round ($how): left $left"
  done
done

# What kills leave, planted: a copy with its lock, and an empty lock (a kill before its line),
# go with the next run; the copy beside the empty lock, and a lock of other content, stay.
dir="$work/planted"
mkdir -p "$dir"
cp "$work/fast.mp4" "$dir/v.mp4"
printf 'ntag copy .ntag-9-00000000deadbeef.tmp\n' > "$dir/.ntag-9-00000000deadbeef.lock"
echo half > "$dir/.ntag-9-00000000deadbeef.tmp"
: > "$dir/.ntag-9-00000000feedface.lock"
echo kept > "$dir/.ntag-9-00000000feedface.tmp"
printf 'ntag copy .ntag-1-00000000deadbeef.tmp\n' > "$dir/.ntag-9-0000000000000001.lock"
"$wine_run" "$ntag" -list-meta "$(win "$dir/v.mp4")" > /dev/null || fail "planted: the listing failed"
left="$(LC_ALL=C ls -A "$dir" | tr '\n' ' ')"
[ "$left" = ".ntag-9-0000000000000001.lock .ntag-9-00000000feedface.tmp v.mp4 " ] || fail "planted: left $left"

# Each cause of a failed write, as Windows reports it, has its own exit code, half way through
# an edit in place and through a rewrite: access denied and write protect 8, disk full 9, a
# sharing or lock violation 10, a CRC or device error 11, any other 6. The video keeps its bytes.
for layout in inplace rewrite; do
  dir="$work/$layout"
  mkdir -p "$dir"
  video="$dir/v.mp4"
  reference="$work/ref/$layout.mp4"
  edit=(-meta:title=New -remove-cover:all "-add-cover:front:$cover" "$(win "$video")")
  cp "$reference" "$video"
  total="$("$wine_run" "$fault" "${edit[@]}" 2>&1 > /dev/null | tr -d '\r' | sed -n 's/^written \([0-9]*\).*/\1/p')"
  for cause in 5:8 19:8 112:9 39:9 32:10 33:10 23:11 31:11 1:6; do
    cp "$reference" "$video"
    NTAG_FAULT_AFTER="$((total / 2))" NTAG_FAULT_ERROR="${cause%:*}" "$wine_run" "$fault" "${edit[@]}" > /dev/null \
      2> "$dir/stderr.txt"
    rc=$?
    [ "$rc" = "${cause#*:}" ] || fail "$layout: system error ${cause%:*} gave exit $rc: $(tr -d '\r' < "$dir/stderr.txt")"
    cmp -s "$video" "$reference" || fail "$layout: system error ${cause%:*} changed the video"
  done
done
# A real cause: a video on a read-only disk (root writes past mode bits and the read-only
# attribute alike) is access denied.
disk="$work/disk"
mkdir -p "$disk"
if mount -t tmpfs -o size=8m tmpfs "$disk" 2> /dev/null; then
  cp "$work/ref/inplace.mp4" "$disk/v.mp4"
  mount -o remount,ro "$disk"
  "$wine_run" "$ntag" -meta:title=New "$(win "$disk/v.mp4")" > /dev/null 2> "$work/stderr.txt"
  rc=$?
  [ "$rc" = 8 ] || fail "read-only disk gave exit $rc: $(tr -d '\r' < "$work/stderr.txt")"
  cmp -s "$disk/v.mp4" "$work/ref/inplace.mp4" || fail "read-only disk: the video changed"
  umount -l "$disk"
else
  echo "cannot mount a disk here: the read-only case is skipped"
fi

# Two videos whose names share their first 220 characters, both rewritten (faststart, no room).
dir="$work/shared"
mkdir -p "$dir"
long="$(printf 'v%.0s' $(seq 220))"
a="$dir/$long-a.mp4"
b="$dir/$long-b.mp4"
held="$work/held"
cp "$work/fast.mp4" "$work/count.mp4"
total="$("$wine_run" "$fault" -meta:title=A "$(win "$work/count.mp4")" 2>&1 > /dev/null | tr -d '\r' | sed -n 's/^written \([0-9]*\).*/\1/p')"
for ending in release kill swap; do
  cp "$work/fast.mp4" "$a"
  cp "$work/fast2.mp4" "$b"
  rm -f "$held"
  NTAG_FAULT_AFTER="$((total / 2))" NTAG_FAULT_HOLD="$(win "$held")" "$wine_run" "$fault" -meta:title=A "$(win_long "$a")" \
    > /dev/null 2>&1 &
  pid=$!
  for _ in $(seq 400); do [ -e "$held" ] && break; sleep 0.05; done
  [ -e "$held" ] || fail "shared names, $ending: the held run did not reach its mark"
  "$wine_run" "$ntag" -meta:title=B "$(win_long "$b")" > /dev/null 2> "$work/stderr.txt" ||
    fail "shared names, $ending: the other video: $(tr -d '\r' < "$work/stderr.txt")"
  if [ "$ending" = release ]; then
    rm -f "$held"
    wait "$pid" || fail "shared names: the held run failed after its release"
    [ "$(tag "$a" title)" = A ] || fail "shared names: the held video is not tagged"
  elif [ "$ending" = swap ]; then
    # Whoever may rename in the folder puts a link to another file under the video's name.
    mv "$a" "$dir/moved"
    echo "another file" > "$work/bystander"
    ln -s "$work/bystander" "$a"
    rm -f "$held"
    wait "$pid" && fail "swapped name: the held run reported success"
    [ "$(cat "$work/bystander")" = "another file" ] || fail "swapped name: the link's target was written"
    [ -L "$a" ] || fail "swapped name: the link was replaced"
    mv -f "$dir/moved" "$a"
    cmp -s "$a" "$work/fast.mp4" || fail "swapped name: the held run changed its video"
  else
    kill -KILL "$pid" 2> /dev/null
    wait "$pid" 2> /dev/null
    sleep 0.2
    cmp -s "$a" "$work/fast.mp4" || fail "shared names: the killed run changed its video"
  fi
  [ "$(tag "$b" title)" = B ] || fail "shared names, $ending: the other video is not tagged"
  [ "$(packets "$a")" = "$(packets "$work/fast.mp4")" ] || fail "shared names, $ending: media of a changed"
  [ "$(packets "$b")" = "$(packets "$work/fast2.mp4")" ] || fail "shared names, $ending: media of b changed"
  [ "$(ls -A "$dir")" = "$(printf '%s\n%s' "$long-a.mp4" "$long-b.mp4")" ] ||
    fail "shared names, $ending: left behind: $(ls -A "$dir")"
done

[ "$failures" = 0 ] && echo "ntag.exe under Wine: faults and kills left every video whole"
exit "$failures"
