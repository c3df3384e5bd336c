#!/usr/bin/env bash
# The layers of src/ as the build should keep them: a file includes only its
# own layer and those below it, and the portable folders include no platform
# or toolkit header (those belong in system/{windows,posix}, tools/{windows,
# posix}, ui/{win32,qt} and app/). Prints each breach and fails on any.
# Usage: layers_check.sh SRC-FOLDER
set -uo pipefail
src="$1"
# Rank of each layer; a layer may include its own and lower ranks only
# (layers of the same rank are strangers to each other).
declare -A rank=([system]=0 [tools]=1 [intake]=1 [preview]=1 [tagging]=2 [ui]=3 [app]=4)
platform_headers='^#include <(windows\.h|Q[A-Za-z]*|unistd\.h|sys/|fcntl\.h|dirent\.h|spawn\.h|signal\.h|pthread\.h)'
breaches=0
breach() { echo "layers_check: $*" >&2; breaches=$((breaches + 1)); }

while IFS= read -r -d '' file; do
  relative="${file#"$src"/}"
  layer="${relative%%/*}"
  [ -n "${rank[$layer]+x}" ] || continue
  while IFS= read -r included; do
    target="${included%%/*}"
    [ -n "${rank[$target]+x}" ] || continue
    if [ "$target" != "$layer" ] && [ "${rank[$target]}" -ge "${rank[$layer]}" ]; then
      breach "$relative includes $included: $target is not below $layer"
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  case "$relative" in
    */windows/* | */posix/* | ui/win32/* | ui/qt/* | app/* | tools/lzma/* | tools/packer/*) continue ;;
  esac
  while IFS= read -r line; do
    breach "$relative:$line: a platform header in portable code"
  done < <(grep -nE "$platform_headers" "$file")
done < <(find "$src" -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' \) -print0)

if [ "$breaches" -gt 0 ]; then
  echo "layers_check: $breaches breach(es)"
  exit 1
fi
echo "layers_check: every include keeps to its layer"
