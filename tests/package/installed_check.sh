#!/usr/bin/env bash
# Checks the downloads that scripts/package wrote to build/dist the way a user
# meets them: the checksums, the version in every name and field, lintian,
# then the Debian package installed with apt on this machine, its program
# found on the PATH, offered for MP4 videos and driven under Xvfb to tag
# videos, and at last purged without leaving a file behind.
# Usage: tests/package/installed_check.sh   (as root, or with sudo)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

fail() { echo "installed_check: $*" >&2; exit 1; }
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

dist=build/dist
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/native/CMakeCache.txt)"
id="$(sed -n 's/^MIVORA_DESKTOP_ID:STRING=//p' build/native/CMakeCache.txt)"
deb="$dist/mivora_${version}_$(dpkg --print-architecture).deb"
zip="$dist/mivora-${version}-windows-x86.zip"

(cd "$dist" && sha256sum --check --strict --quiet SHA256SUMS) || fail "SHA256SUMS does not match"
[ "$(wc -l <"$dist/SHA256SUMS")" -eq 2 ] || fail "SHA256SUMS should name exactly the two downloads"

# The version of project() everywhere: the package, the Windows program's
# version resource (FileVersion and ProductVersion), the zip's README, and
# the tagger that the program carries.
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "the package is not version $version"
[ "$(unzip -Z1 "$zip")" = "$(printf 'README.txt\nmivora.exe\nntag.exe')" ] ||
  fail "the zip should hold README.txt, mivora.exe and ntag.exe"
unzip -p "$zip" mivora.exe | cmp - build/windows/src/app/mivora.exe || fail "the zip's mivora.exe is not the build's"
unzip -p "$zip" ntag.exe | cmp - build/windows/ntag/ntag.exe || fail "the zip's ntag.exe is not the build's"
[ "$(unzip -p "$zip" mivora.exe | strings -el | grep -A1 -xE 'FileVersion|ProductVersion' | grep -cx "$version")" -eq 2 ] ||
  fail "the version resource of mivora.exe does not read $version"
[ "$(build/native/ntag/ntag -version)" = "ntag $version" ] || fail "ntag -version does not read $version"
grep -q "mivora-$version-windows-x86.zip" <<< "$(unzip -p "$zip" README.txt)" || fail "the zip's README names another version"

lintian --fail-on error,warning "$deb" || fail "lintian reports an error or a warning"

# A package left from an interrupted check would hide what this one installs.
if dpkg-query -W -f='${Status}' mivora 2>/dev/null | grep -q installed; then
  "${sudo_cmd[@]}" apt-get purge -y -q mivora >/dev/null
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get install -y -q "$PWD/$deb" >/dev/null
trap '"${sudo_cmd[@]}" apt-get purge -y -q mivora >/dev/null 2>&1 || true' EXIT
mapfile -t owned < <(dpkg -L mivora)

[ "$(command -v mivora)" = /usr/bin/mivora ] || fail "mivora is not on the PATH"
# The tagger on its own: on the PATH, with its man page, reading what it writes.
[ "$(command -v ntag)" = /usr/bin/ntag ] || fail "ntag is not on the PATH"
[ "$(ntag -version)" = "ntag $version" ] || fail "the installed ntag -version does not read $version"
cmp -s /usr/bin/ntag build/native/ntag/ntag || fail "the installed ntag is not the one Mivora carries"
[ -f /usr/share/man/man1/ntag.1.gz ] || fail "ntag has no man page"
scratch="$(mktemp -d)"
ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=5 -t 0.4 -c:v mpeg4 "$scratch/clip.mp4"
ntag -meta:title="Blue Sky" "$scratch/clip.mp4" || fail "the installed ntag did not tag a video"
grep -qxF "$(printf 'text\ttitle\tBlue Sky')" <<< "$(ntag -list-meta:machine "$scratch/clip.mp4")" ||
  fail "the installed ntag does not list what it wrote"
rm -rf "$scratch"
# What a desktop with nothing pinned offers for videos, from the system's
# MIME cache that the package's triggers rebuilt. Read whole before grep -q,
# which stops at the first match: gio writes line by line, and its next line
# would die of SIGPIPE, a failure under pipefail.
scratch="$(mktemp -d)"
grep -q "$id.desktop" <<< "$(XDG_CONFIG_HOME="$scratch" XDG_DATA_HOME="$scratch" gio mime video/mp4)" ||
  fail "the desktop does not offer Mivora for video/mp4"
rm -rf "$scratch"

# The installed program, driven through its window as a user would.
MIVORA_PROGRAM=/usr/bin/mivora build/native/tests/posix/posix_program_tests \
  --gtest_filter='ProgramTest.ApplyThroughTheWindowTagsEveryVideoAndClosingRemovesTheWorkspace' ||
  fail "the installed program did not tag the videos"

trap - EXIT
"${sudo_cmd[@]}" apt-get purge -y -q mivora >/dev/null
for path in "${owned[@]}"; do
  # Shared folders such as /usr/share stay; nothing of ours does.
  if [ -e "$path" ] && { [ ! -d "$path" ] || [[ "$path" == */mivora ]]; }; then fail "$path is left after purge"; fi
done
echo "installed_check: $(basename "$deb") and $(basename "$zip") check out, install, tag and purge cleanly"
