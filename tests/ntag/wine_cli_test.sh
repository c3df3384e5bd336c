#!/usr/bin/env bash
# ntag.exe under Wine on videos made by Linux ffmpeg: Mivora's own command lines
# (started through CreateProcessW with a leading blank), non-ASCII paths and values,
# exit codes, and the file left unchanged on every refusal.
set -uo pipefail
ntag="$1"
wine_run="$2"
launch="$3"
work="$(mktemp -d /tmp/ntag-wine-XXXXXX)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
win() { "$wine_run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# Runs ntag.exe with a command line as Mivora writes it (after the program name).
run_line() {
  printf '%s' "$1" > "$work/line.txt"
  "$wine_run" "$launch" "$(win "$ntag")" "$(win "$work/line.txt")" 2> "$work/stderr.txt" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}
source "${BASH_SOURCE%/*}/../support/media.sh"

dir="$work/Видео ☂ 映像"
mkdir -p "$dir"
make_clips "$dir/конец.mp4" "$dir/быстро.mp4" || exit 1
make_cover "$dir/обложка.jpg" || exit 1
printf 'not an image' > "$dir/note.txt"
mkfifo "$dir/pipe.mp4"

title='Синее небо 🎬 Γαλάζιο 青い空'
for name in конец быстро; do
  video="$dir/$name.mp4"
  before="$(packets "$video")"
  run_line " -meta:title=\"$title\" -meta:artist=\"Duv Ize\" -meta:year=\"2016\" -meta:genre=\"MMV\" -meta:comment=\"Fan edit\" -remove-cover:all -add-cover:front:\"$(win "$dir/обложка.jpg")\" \"$(win "$video")\""
  rc=$?
  [ "$rc" = 0 ] || fail "$name: exit $rc: $(cat "$work/stderr.txt")"
  [ "$(tag "$video" title)" = "$title" ] || fail "$name: title is '$(tag "$video" title)'"
  [ "$(tag "$video" artist)" = "Duv Ize" ] || fail "$name: artist"
  [ "$(tag "$video" genre)" = "MMV" ] || fail "$name: genre"
  pics="$(ffprobe -v error -show_entries stream=codec_name:stream_disposition=attached_pic -of csv=p=0 "$video" | grep -c ',1$')"
  [ "$pics" = 1 ] || fail "$name: $pics attached pictures"
  [ -z "$(decode_errors "$video")" ] || fail "$name: decode errors"
  [ "$before" = "$(packets "$video")" ] || fail "$name: media packets changed"
  grep -q "©nam\" contains: $title" <<< "$(AtomicParsley "$video" -t)" || fail "$name: AtomicParsley does not list the title"

  # Remove blanks: every key empty, covers removed; done in place.
  size="$(stat -c %s "$video")"
  run_line " -meta:title=\"He said 'hi'\" -meta:artist=\"\" -meta:year=\"\" -meta:genre=\"\" -meta:comment=\"\" -remove-cover:all \"$(win "$video")\""
  rc=$?
  [ "$rc" = 0 ] || fail "$name: blanking exit $rc"
  [ "$(tag "$video" title)" = "He said 'hi'" ] || fail "$name: title after blanking"
  [ -z "$(tag "$video" artist)" ] || fail "$name: artist not removed"
  [ "$(stat -c %s "$video")" = "$size" ] || fail "$name: second edit not in place"
  listing="$(run_line " -list-meta \"$(win "$video")\"")"
  printf '%s\n' "$listing" | grep -qx "title = He said 'hi'" || fail "$name: -list-meta gave: $listing"
done

# QuickTime text items in udta: the old title and comment go, the album stays.
mov="$dir/старое.mov"
ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=10 -t 1 -c:v mpeg4 -metadata title="Old title" \
  -metadata comment="Old comment" -metadata album="Kept album" -f mov "$mov" || exit 1
run_line " -meta:title=\"$title\" -meta:comment=\"\" \"$(win "$mov")\"" > /dev/null
rc=$?
[ "$rc" = 0 ] || fail "mov: exit $rc: $(cat "$work/stderr.txt")"
[ "$(tag "$mov" title)" = "$title" ] || fail "mov: title is '$(tag "$mov" title)'"
seen="$(exiftool -a "$mov"; mediainfo "$mov")"
printf '%s' "$seen" | grep -q "Old " && fail "mov: an old value is still shown"
printf '%s' "$seen" | grep -q "Kept album" || fail "mov: the album is gone"

# Refusals: exit code, one line on stderr, not one byte changed.
video="$dir/быстро.mp4"
cp "$video" "$work/reference.mp4"
check_refusal() {
  local want="$1" line="$2"
  run_line "$line" > /dev/null
  local rc=$?
  [ "$rc" = "$want" ] || fail "expected exit $want, got $rc for: $line"
  [ "$(wc -l < "$work/stderr.txt")" = 1 ] || fail "stderr not one line for: $line"
  cmp -s "$video" "$work/reference.mp4" || fail "video changed by: $line"
}
check_refusal 1 " -meta:rating=\"5\" \"$(win "$video")\""
check_refusal 1 " -meta:title=\"x\""
check_refusal 2 " -meta:title=\"x\" \"$(win "$dir/нет.mp4")\""
check_refusal 3 " -meta:title=\"x\" \"$(win "$dir/note.txt")\""
check_refusal 5 " -add-cover:front:\"$(win "$dir/note.txt")\" \"$(win "$video")\""
check_refusal 5 " -add-cover:front:\"$(win "$dir/нет.jpg")\" \"$(win "$video")\""
# A FIFO is refused at once, as video and as cover, instead of waiting for a writer.
check_refusal 2 " -meta:title=\"x\" \"$(win "$dir/pipe.mp4")\""
check_refusal 5 " -add-cover:front:\"$(win "$dir/pipe.mp4")\" \"$(win "$video")\""

# A download cut short: its last mdat runs to the end of the file (size 0), which now ends
# before the last chunks. The media lies past the end, so the file is refused as damaged.
cut="$dir/обрезано.mp4"
python3 - "$video" "$cut" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
at = 0
while at < len(data):
    size, kind = struct.unpack(">I4s", data[at:at + 8])
    if kind == b"mdat":
        data[at:at + 4] = b"\0\0\0\0"
        break
    at += size
open(sys.argv[2], "wb").write(data[:-2000])
PY
cp "$cut" "$work/cut-reference.mp4"
run_line " -meta:title=\"x\" \"$(win "$cut")\"" > /dev/null
rc=$?
[ "$rc" = 3 ] || fail "cut-off download: exit $rc: $(cat "$work/stderr.txt")"
grep -q "past the end of the file" "$work/stderr.txt" || fail "cut-off download: $(cat "$work/stderr.txt")"
cmp -s "$cut" "$work/cut-reference.mp4" || fail "cut-off download: the file was changed"

[ "$failures" = 0 ] && echo "ntag.exe under Wine: all checks passed"
exit "$failures"
