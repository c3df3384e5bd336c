#!/usr/bin/env bash
# What each layer may include: the project files of its own layer and of the
# layers below it, and the system headers its platform allows. Portable code
# (everything outside the platform folders) includes no platform or toolkit
# header; ntag includes the standard library, its own files and the project's
# UTF-8 codec only, and its rooms keep apart: the model includes nothing of the
# platform but the source it reads through and nothing of the writing; the rooms
# above the platform include only its interface, and the command line reaches
# the model only through the writer's interface. Whatever no rule
# allows is a breach, so a header of a new kind needs a line here. Prints each
# breach and fails on any.
# Usage: layers_check.sh PROJECT-FOLDER [FILE...], the files relative to the
# project folder; without files, every source file of src/ and ntag/.
set -uo pipefail
root="$1"
shift

# System headers by kind: extended regular expressions over the name in <>.
declare -A kinds=(
  [std]='[a-z_]+'  # the C++ standard library, the only headers named without an extension
  [c]='(stddef|stdlib)\.h'
  [lzma]='Lz[A-Za-z]+\.h'  # the LZMA SDK's, from its own folder
  [posix]='(dirent|fcntl|sched|signal|spawn|unistd)\.h|(sys|linux)/[a-z_]+\.h'
  [win32]='(commctrl|gdiplus|objbase|objidl|oleacc|ole2|shellapi|shlobj|shobjidl|windows|windowsx)\.h'
  [qt]='Q[A-Za-z]+'
)
# Project files by layer: globs, separated by blanks.
declare -A layers=(
  [system]='src/system/*' [tools]='src/tools/*' [intake]='src/intake/*' [preview]='src/preview/*'
  [tagging]='src/tagging/*' [ui]='src/ui/*' [app]='src/app/*'
  [utf8]='src/system/utf8.hpp'
  [model]='ntag/model/*' [source]='ntag/model/source.hpp' [platform]='ntag/platform/*'
  [writing]='ntag/writing/*' [command_line]='ntag/command_line/*' [ntag_error]='ntag/ntag_error.hpp'
  [platform_interface]='ntag/platform/platform_file.hpp ntag/platform/stop_request.hpp ntag/platform/process.hpp'
  [writer_interface]='ntag/writing/tag_writer.hpp ntag/writing/cover_file.hpp'
)
below_ui='tagging tools intake preview system'
below_app="ui $below_ui"
# FILES | LAYERS THEY MAY INCLUDE | KINDS OF SYSTEM HEADERS; the first match wins.
rules=(
  "src/system/windows/* | system | std win32"
  "src/system/posix/* | system | std posix"
  "src/system/* | system | std"
  "src/tools/lzma/* | tools | c lzma"
  "src/tools/packer/* | tools | std"
  "src/tools/windows/* | tools system | std win32"
  "src/tools/posix/* | tools system | std posix"
  "src/tools/* | tools system | std"
  "src/intake/* | intake system | std"
  "src/preview/* | preview system | std"
  "src/tagging/* | tagging tools intake system | std"
  "src/ui/windows/* | ui $below_ui | std win32"
  "src/ui/posix/* | ui $below_ui | std qt posix"
  "src/ui/* | ui $below_ui | std"
  "src/app/windows/* | app $below_app | std win32"
  "src/app/posix/* | app $below_app | std qt posix"
  "src/app/* | app $below_app | std"
  "ntag/ntag_error.hpp | ntag_error | std"
  "ntag/model/* | model ntag_error utf8 | std"
  "ntag/platform/windows/* | platform source ntag_error utf8 | std win32"
  "ntag/platform/posix/* | platform source ntag_error utf8 | std posix"
  "ntag/platform/* | platform source ntag_error utf8 | std"
  "ntag/writing/* | writing model platform_interface ntag_error utf8 | std"
  "ntag/command_line/* | command_line writer_interface platform_interface ntag_error utf8 | std"
)
# Platform files may be included only by files of the same platform.
platform_of() {  # PATH -> platform
  case "$1" in
    */windows/*) platform=windows ;;
    */posix/*) platform=posix ;;
    *) platform=portable ;;
  esac
}

breaches=0
breach() { echo "layers_check: $*" >&2; breaches=$((breaches + 1)); }

# The project file an include names, relative to the project folder, as the
# compiler finds it: beside the including file (quoted only), then from ntag/
# for ntag's files, then from src/.
resolve() {  # FOLDER DELIMITER NAME -> target, empty for a system header
  target=""
  if [ "$2" = '"' ] && [ -f "$root/$1/$3" ]; then
    target="$1/$3"
  elif [[ $1 == ntag* ]] && [ -f "$root/ntag/$3" ]; then
    target="ntag/$3"
  elif [ -f "$root/src/$3" ]; then
    target="src/$3"
  fi
  case "$target" in
    */./* | */../*) target="$(realpath -m --relative-to="$root" "$root/$target")" ;;
  esac
}

include_line='^[[:space:]]*#[[:space:]]*include[[:space:]]*([<"])([^>"]*)[>"]'
check_file() {  # FILE
  local file="$1" path="$root/$1" rule candidate pattern="" number text globs glob
  for rule in "${rules[@]}"; do
    IFS='|' read -r candidate allowed_layers allowed_kinds <<<"$rule"
    candidate="${candidate% }" allowed_layers="${allowed_layers# }" allowed_kinds="${allowed_kinds# }"
    # shellcheck disable=SC2053  # the pattern is a glob on purpose
    if [[ $file == $candidate ]]; then pattern=$candidate; break; fi
  done
  if [ -z "$pattern" ]; then
    breach "$file: no layer rule covers this file"
    return
  fi
  platform_of "$file"
  own_platform=$platform
  while IFS=: read -r number text; do
    [[ $text =~ $include_line ]] || continue
    delimiter="${BASH_REMATCH[1]}" name="${BASH_REMATCH[2]}"
    resolve "${file%/*}" "$delimiter" "$name"
    ok=""
    if [ -n "$target" ]; then
      for layer in $allowed_layers; do
        read -ra globs <<<"${layers[$layer]}"
        for glob in "${globs[@]}"; do
          # shellcheck disable=SC2053
          [[ $target == $glob ]] && ok=1
        done
      done
      platform_of "$target"
      if [ -n "$ok" ] && [ "$platform" != portable ] && [ "$platform" != "$own_platform" ]; then
        breach "$file:$number: includes $target, a $platform file, from $own_platform code"
        continue
      fi
    else
      for kind in $allowed_kinds; do
        [[ $name =~ ^(${kinds[$kind]})$ ]] && ok=1
      done
    fi
    [ -n "$ok" ] || breach "$file:$number: includes ${target:-<$name>}, which $pattern may not (layers: ${allowed_layers% }; headers: $allowed_kinds)"
  done < <(grep -nE "$include_line" "$path")
}

if [ "$#" -eq 0 ]; then
  while IFS= read -r -d '' path; do
    check_file "${path#"$root"/}"
  done < <(find "$root/src" "$root/ntag" -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.c' -o -name '*.h' \) -print0)
else
  for file in "$@"; do check_file "$file"; done
fi

if [ "$breaches" -gt 0 ]; then
  echo "layers_check: $breaches breach(es)"
  exit 1
fi
echo "layers_check: every include keeps to its layer"
