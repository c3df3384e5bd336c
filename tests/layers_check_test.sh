#!/usr/bin/env bash
# The layer check against plants in a copy of src/ and ntag/: each line below,
# added to its file alone, passes or fails as marked (the check of the
# unplanted tree is the layers_check test itself).
# Usage: layers_check_test.sh LAYERS-CHECK PROJECT-FOLDER
set -uo pipefail
check="$1" project="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp -r "$project/src" "$project/ntag" "$scratch/"

# FILE | LINE ADDED | pass or fail
plants=(
  'src/tagging/tag_set.cpp|#include <vector>|pass'
  'src/tagging/tag_set.cpp|#include <sched.h>|fail'
  'src/tagging/tag_set.cpp|  #  include <unistd.h>|fail'
  'src/tagging/tag_set.cpp|#include "../ui/main_dialog.hpp"|fail'
  'src/tagging/tag_set.cpp|#include "system/posix/descriptor.hpp"|fail'
  'src/preview/cover_image.cpp|#include "tools/module.hpp"|fail'
  'src/ui/main_dialog.cpp|#include <QString>|fail'
  'src/ui/posix/view.cpp|#include <QString>|pass'
  'src/ui/posix/view.cpp|#include "system/windows/handle.hpp"|fail'
  'src/ui/windows/view.cpp|#include "ui/posix/view.hpp"|fail'
  'src/ui/windows/view.cpp|#include "system/windows/handle.hpp"|pass'
  'src/system/posix/workspace.cpp|#include <sched.h>|pass'
  'src/system/windows/workspace.cpp|#include <sched.h>|fail'
  'ntag/model/box.cpp|#include "system/utf8.hpp"|pass'
  'ntag/model/box.cpp|#include "ui/main_dialog.hpp"|fail'
  'ntag/model/box.cpp|#include <ui/main_dialog.hpp>|fail'
  'ntag/model/box.cpp|#include "system/text.hpp"|fail'
  'ntag/model/box.cpp|#include <unistd.h>|fail'
  'ntag/model/box.cpp|#include "model/source.hpp"|pass'
  'ntag/model/box.cpp|#include "platform/platform_file.hpp"|fail'
  'ntag/model/movie.cpp|#include "writing/snapshot.hpp"|fail'
  'ntag/platform/platform_file.cpp|#include "model/box.hpp"|fail'
  'ntag/platform/posix/platform_file.cpp|#include <sched.h>|pass'
  'ntag/platform/posix/platform_file.cpp|#include <windows.h>|fail'
  'ntag/platform/windows/platform_file.cpp|#include <unistd.h>|fail'
  'ntag/model/box.cpp|#include "../platform/platform_file.hpp"|fail'
  'ntag/writing/undo.cpp|#include "command_line/command_line.hpp"|fail'
  'ntag/writing/undo.cpp|#include "platform/platform_handle.hpp"|fail'
  'ntag/writing/undo.cpp|#include "platform/fault_hook.hpp"|fail'
  'ntag/command_line/main.cpp|#include <sys/prctl.h>|fail'
  'ntag/command_line/command_line.cpp|#include "writing/snapshot.hpp"|fail'
  'ntag/command_line/command_line.cpp|#include "writing/tag_writer.hpp"|pass'
  'ntag/command_line/command_line.cpp|#include "model/tag_list.hpp"|fail'
)

failures=0
run() {  # EXPECTED WHAT FILE
  if bash "$check" "$scratch" "$3" >/dev/null 2>&1; then outcome=pass; else outcome=fail; fi
  if [ "$outcome" != "$1" ]; then
    echo "layers_check_test: $2: expected $1, got $outcome" >&2
    failures=$((failures + 1))
  fi
}
for plant in "${plants[@]}"; do
  IFS='|' read -r file line expected <<<"$plant"
  echo "$line" >>"$scratch/$file"
  run "$expected" "$line in $file" "$file"
  cp "$project/$file" "$scratch/$file"
done
mkdir "$scratch/src/unlisted" && touch "$scratch/src/unlisted/new.cpp"
run fail "a file of a folder no rule covers" src/unlisted/new.cpp

[ "$failures" -eq 0 ] || exit 1
echo "layers_check_test: every plant judged as expected"
