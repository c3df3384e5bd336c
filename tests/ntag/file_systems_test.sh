#!/usr/bin/env bash
# ntag on the file systems videos live on, mounted as users meet them: exFAT through FUSE (no
# unnamed files, no extended attributes, like FAT sticks, SSHFS and most phone and network
# mounts), NTFS through ntfs-3g, a mount that refuses chown and chmod, and XFS, whose blocks
# a rewrite shares. On
# each: a rewrite tags the video and opens it to no one new; a kill at any instant leaves at
# most the copy and its lock, which the next run removes; Mivora's Stop (its child process
# asks ntag to stop) leaves nothing at once. Needs root, loop devices and /dev/fuse; exits 77
# (skipped) without.
# Usage: file_systems_test.sh NTAG STOP_NTAG
set -euo pipefail
ntag="$1"
stopper="$2"
rounds="${NTAG_FS_KILL_ROUNDS:-6}"

skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || skip "mounting needs root"
[ -c /dev/fuse ] || skip "no /dev/fuse"
for tool in losetup mkfs.exfat mount.exfat-fuse mkntfs ntfs-3g bindfs mkfs.xfs ffmpeg ffprobe; do
  command -v "$tool" > /dev/null || skip "$tool is not installed"
done

work="$(mktemp -d /tmp/ntag-fs-XXXXXX)"
mounts=() loops=()
cleanup() {
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount "${mounts[$i]}" 2> /dev/null || umount -l "${mounts[$i]}" || true; done
  for l in "${loops[@]}"; do losetup -d "$l" 2> /dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A faststart video of about 60 MB whose tags outgrow their room: every edit is a rewrite
# long enough to be killed half way.
reference="$work/reference.mp4"
ffmpeg -loglevel error -y -f lavfi -i "testsrc=d=2:s=1280x720,noise=alls=100:allf=t" \
  -c:v libx264 -preset ultrafast -qp 0 -movflags +faststart "$reference"
long_title="$(head -c 3000 /dev/zero | tr '\0' t)"
title() { ffprobe -v error -show_entries format_tags=title -of default=nw=1:nk=1 "$1"; }
others() { ls -A "$1" | grep -v -x -e v.mp4 | tr '\n' ' ' || true; }

loop_image() {  # NAME SIZE MKFS... -> prints the loop device
  truncate -s "$2" "$work/$1.img"
  "${@:3}" "$work/$1.img" > /dev/null 2>&1 || return 1
  losetup -f --show "$work/$1.img"
}

mount_exfat() {
  local dev
  dev="$(loop_image exfat 600M mkfs.exfat)" || return 1
  loops+=("$dev")
  mkdir -p "$1" && mount.exfat-fuse "$dev" "$1" > /dev/null 2>&1
}
mount_ntfs() {
  local dev
  dev="$(loop_image ntfs 600M mkntfs -F -Q -q)" || return 1
  loops+=("$dev")
  mkdir -p "$1" && ntfs-3g "$dev" "$1"
}
mount_refusing() {
  mkdir -p "$work/under" "$1" && bindfs --chown-deny --chgrp-deny --chmod-deny "$work/under" "$1"
}
mount_xfs() {
  local dev
  dev="$(loop_image xfs 600M mkfs.xfs -q -m reflink=1)" || return 1
  loops+=("$dev")
  mkdir -p "$1" && mount "$dev" "$1"
}

checked=0
for fs in exfat ntfs refusing xfs; do
  dir="$work/$fs"
  if ! "mount_$fs" "$dir"; then
    echo "$fs: cannot be mounted here, not checked"
    continue
  fi
  mounts+=("$dir")
  checked=$((checked + 1))
  video="$dir/v.mp4"
  cp "$reference" "$video"
  chmod 0640 "$video" 2> /dev/null || true
  mode_before="$(stat -c %a "$video")"
  "$ntag" "-meta:title=$long_title" "$video" || fail "$fs: the first rewrite failed"
  [ "$(title "$video")" = "$long_title" ] || fail "$fs: the title did not land"
  mode_after="$(stat -c %a "$video")"
  # Never open to more: each digit of the new mode within the old one's.
  for i in 0 1 2; do
    (( (8#${mode_after:$i:1} & ~8#${mode_before:$i:1}) == 0 )) || fail "$fs: mode $mode_before became $mode_after"
  done
  [ -z "$(others "$dir")" ] || fail "$fs: the rewrite left $(others "$dir")"

  # How long a whole rewrite takes sets the window to kill and stop in.
  cp "$reference" "$video"
  start="$(date +%s%N)"
  "$ntag" "-meta:title=$long_title" "$video"
  took=$(( ($(date +%s%N) - start) / 1000 ))
  printf ' %s' "-meta:title=$long_title" "$video" > "$work/line.txt"
  for signal in KILL STOP; do
    for round in $(seq "$rounds"); do
      cp "$reference" "$video"
      delay="$(awk -v t="$took" -v r="$RANDOM" 'BEGIN { printf "%.6f", t * r / 32767 / 1e6 }')"
      if [ "$signal" = STOP ]; then
        "$stopper" "$ntag" "$work/line.txt" "$(awk -v d="$delay" 'BEGIN { printf "%d", d * 1000 }')" > /dev/null
      else
        "$ntag" "-meta:title=$long_title" "$video" 2> /dev/null &
        pid=$!
        sleep "$delay"
        kill -KILL "$pid" 2> /dev/null || true
        wait "$pid" 2> /dev/null || true
      fi
      got="$(title "$video" || true)"
      [ "$got" = "$long_title" ] || cmp -s "$video" "$reference" || fail "$fs $signal round $round: the video changed"
      left="$(others "$dir")"
      if [ "$signal" = STOP ]; then
        [ -z "$left" ] || fail "$fs: Stop left $left"
      elif [ -n "$left" ]; then
        [[ "$left" =~ ^(\.ntag-[0-9]+-[0-9a-f]{16}\.(tmp|lock)\ )+$ ]] || fail "$fs: a kill left $left"
        "$ntag" -meta:title=Next "$video" || fail "$fs: the run after a kill failed"
        [ -z "$(others "$dir")" ] || fail "$fs: the run after a kill left $(others "$dir")"
      fi
    done
  done
  echo "$fs: rewrites, $rounds kills and $rounds Stops: nothing left"
done

# A mount that gives every new file wider permissions and refuses chmod: the copy would open
# the video to more users, so the rewrite is refused (8) and the video stays as it was.
dir="$work/widening"
mkdir -p "$work/under2" "$dir"
if bindfs --chmod-deny --create-with-perms=a+rw "$work/under2" "$dir"; then
  mounts+=("$dir")
  cp "$reference" "$dir/v.mp4"
  chmod 0600 "$work/under2/v.mp4"
  set +e
  err="$("$ntag" "-meta:title=$long_title" "$dir/v.mp4" 2>&1)"
  code=$?
  set -e
  [ "$code" -eq 8 ] || fail "widening mount: exit $code ($err)"
  cmp -s "$dir/v.mp4" "$reference" || fail "widening mount: the video changed"
  [ -z "$(others "$dir")" ] || fail "widening mount: left $(others "$dir")"
  echo "widening mount: refused with 8, video unchanged: $err"
fi
[ "$checked" -gt 0 ] || skip "no file system could be mounted"
