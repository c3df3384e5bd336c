#!/usr/bin/env bash
# mivora.exe end to end under Wine: makes real videos and a cover with ffmpeg,
# runs our driver (driver.cpp) against the real program, takes a screenshot
# of the dialog with its cover when the driver asks, then judges the files:
# ffprobe reads the tags and the cover that the packed ntag.exe wrote.
# Usage: end_to_end.sh MIVORA.EXE DRIVER.EXE OUT-FOLDER OBJDUMP
# Needs a display and a Wine server: run it through scripts/with-wine.
set -euo pipefail
mivora="$1" driver="$2" out="$3" objdump="$4"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
wine_run="$here/../../../scripts/wine-run"
work="$out/work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok  : $*"; }
windows_path() { echo "Z:${1//\//\\}"; }

# --- The program depends on system DLLs only -------------------------------------
allowed=" ADVAPI32.dll COMCTL32.DLL COMCTL32.dll comdlg32.dll GDI32.dll gdiplus.dll KERNEL32.dll msvcrt.dll \
ole32.dll OLEAUT32.dll SHELL32.dll USER32.dll UxTheme.dll msimg32.dll VERSION.dll "
while read -r dll; do
  case "$allowed" in *" $dll "*) ;; *) fail "mivora.exe imports $dll, not a system DLL" ;; esac
done < <("$objdump" -p "$mivora" | sed -n 's/^[[:space:]]*DLL Name: //p')
grep -q "file format pei-i386" <<< "$("$objdump" -f "$mivora")" && ok "mivora.exe is a 32-bit program" ||
  fail "mivora.exe is not a 32-bit program"

# --- The files ---------------------------------------------------------------------
rm -rf "$out" && mkdir -p "$work/videos" "$work/folder" "$work/fail" "$work/many" "$work/load"
clip() { ffmpeg -v error -y -f lavfi -i "testsrc=size=96x64:rate=10" -f lavfi -i "sine=frequency=$2:duration=0.5" \
  -t 0.5 -c:v mpeg4 -c:a aac -shortest "$1"; }
clip "$work/videos/one.mp4" 440
clip "$work/videos/two.mp4" 550
clip "$work/folder/three.mp4" 660
clip "$work/folder/four.mp4" 770
cp "$work/videos/one.mp4" "$work/fail/ok1.mp4"
cp "$work/videos/two.mp4" "$work/fail/ok2.mp4"
cp "$work/videos/two.mp4" "$work/load/blank.mp4"
head -c 4096 /dev/urandom > "$work/fail/bad.mp4"
cp "$work/fail/bad.mp4" "$out/bad.mp4.before"
# Faststart, so that each of these is rewritten through a copy, which Stop may meet.
ffmpeg -v error -y -i "$work/videos/one.mp4" -c copy -movflags +faststart "$out/fast.mp4"
for i in $(seq -w 1 24); do cp "$out/fast.mp4" "$work/many/clip-$i.mp4"; done
# The media packets, hashed: tagging must never change them.
media() { ffmpeg -v error -i "$1" -map 0:V -map 0:a -c copy -f md5 - 2>/dev/null; }
media_before="$(media "$work/videos/one.mp4")"
ffmpeg -v error -y -f lavfi -i "testsrc2=size=640x360" -frames:v 1 "$work/cover.jpg"

# --- The screenshot, when the driver has the dialog ready ----------------------------
(
  for _ in $(seq 1 1200); do
    if [ -f "$work/screenshot.request" ]; then
      sleep 0.5
      # The screen is black but for the dialog (no window manager): trimmed, the dialog is left.
      import -window root "$out/screen.png" 2>/dev/null &&
        convert "$out/screen.png" -trim +repage "$out/mivora-dialog.png" || true
      touch "$work/screenshot.done"
      exit 0
    fi
    sleep 0.1
  done
) &
watcher=$!

# --- The driver ------------------------------------------------------------------
set +e
"$wine_run" "$driver" "$(windows_path "$mivora")" "$(windows_path "$work")"
driver_failures=$?
set -e
kill "$watcher" 2>/dev/null || true
wait "$watcher" 2>/dev/null || true
[ "$driver_failures" -eq 0 ] || fail "the driver counted $driver_failures failed check(s)"

# --- Languages: Wine takes the interface language from the Linux locale ---------------
# Dutch is carried; German is not, and must fall back to English.
mkdir -p "$out/locales"
for pair in nl_NL:dutch de_DE:english; do
  locale="${pair%%:*}" language="${pair#*:}"
  localedef -i "$locale" -f UTF-8 "$out/locales/$locale.UTF-8" >/dev/null 2>&1 || true  # warnings exit 1
  if [ ! -f "$out/locales/$locale.UTF-8/LC_CTYPE" ]; then
    echo "note: no $locale locale could be made here (localedef); its texts not checked"
    continue
  fi
  set +e
  LOCPATH="$out/locales" LC_ALL="$locale.UTF-8" LANG="$locale.UTF-8" "$wine_run" "$driver" \
    "$(windows_path "$mivora")" "$(windows_path "$work")" "$language"
  driver_failures=$?
  set -e
  [ "$driver_failures" -eq 0 ] || fail "the driver counted $driver_failures failed check(s) under $locale"
done
[ -f "$out/mivora-dialog.png" ] && ok "screenshot: $out/mivora-dialog.png"

# --- The files afterwards --------------------------------------------------------------
tag() { ffprobe -v error -show_entries "format_tags=$2" -of default=noprint_wrappers=1:nokey=1 "$1"; }
has_cover() { grep -q '^1' <<< "$(ffprobe -v error -show_entries stream_disposition=attached_pic -of csv=p=0 "$1")"; }
for f in videos/one.mp4 videos/two.mp4 folder/three.mp4 folder/four.mp4 fail/ok1.mp4; do
  [ "$(tag "$work/$f" title)" = "E2E title" ] && ok "$f: title" || fail "$f: title is '$(tag "$work/$f" title)'"
  if [ "$f" != fail/ok1.mp4 ]; then
    [ "$(tag "$work/$f" artist)" = "E2E author" ] && ok "$f: artist" || fail "$f: artist"
    [ "$(tag "$work/$f" date)" = "2016" ] && ok "$f: year 2016" || fail "$f: year is '$(tag "$work/$f" date)'"
    [ "$(tag "$work/$f" genre)" = "GMV, Action" ] && ok "$f: genre" || fail "$f: genre is '$(tag "$work/$f" genre)'"
    comment="$(tag "$work/$f" comment)"
    case "$comment" in *"Audio: Song - Band"*"Video: Show, episode 3"*"Comment: Made for the test"*)
      ok "$f: comment" ;; *) fail "$f: comment is '$comment'" ;; esac
    has_cover "$work/$f" && ok "$f: cover" || fail "$f: no cover"
  fi
done
# Loaded from one.mp4 and applied: the same tags and the same cover.
picture() { ffmpeg -v error -i "$1" -map 0:v:1 -c copy -f md5 - 2>/dev/null; }
[ "$(ffprobe -v error -show_entries format_tags -of json "$work/load/blank.mp4")" = \
  "$(ffprobe -v error -show_entries format_tags -of json "$work/videos/one.mp4")" ] &&
  [ "$(picture "$work/load/blank.mp4")" = "$(picture "$work/videos/one.mp4")" ] &&
  ok "tags loaded from one.mp4 and applied to load/blank.mp4 are the same" ||
  fail "load/blank.mp4 differs from one.mp4 after loading and applying"
[ "$(media "$work/videos/one.mp4")" = "$media_before" ] && ok "tagging kept the media packets" ||
  fail "tagging changed the media packets of videos/one.mp4"
[ -z "$(tag "$work/fail/ok2.mp4" title)" ] && ok "the file after the failure was not touched" ||
  fail "fail/ok2.mp4 was tagged after the failure"
cmp -s "$work/fail/bad.mp4" "$out/bad.mp4.before" && ok "the failing file is unchanged" ||
  fail "the failing file was changed"
# Stopped at the third file: those before it stay tagged, most after it never
# start, and the one whose tool was killed is whole, tagged or not.
untagged=0 damaged=0
for f in "$work"/many/*.mp4; do
  title="$(tag "$f" title)" || title="(unreadable)"
  case "$title" in
    "") untagged=$((untagged + 1)) ;;
    Stopped) ;;
    *) fail "$(basename "$f"): title is '$title' after Stop" ;;
  esac
  [ "$(media "$f")" = "$media_before" ] || { damaged=$((damaged + 1)); fail "$(basename "$f"): media differ after Stop"; }
done
[ "$untagged" -gt 0 ] && [ "$untagged" -le 22 ] && ok "Stop left $untagged of 24 files untagged" ||
  fail "Stop left $untagged of 24 files untagged"
[ "$damaged" -eq 0 ] && ok "after Stop every video reads back with its media intact"
left="$(ls -A "$work/many" | grep -v '^clip-[0-9][0-9]\.mp4$' || true)"
[ -z "$left" ] && ok "after Stop the folder holds only the videos" || fail "left beside the videos after Stop: $left"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
