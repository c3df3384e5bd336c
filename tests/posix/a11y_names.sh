#!/bin/bash
# Prints "role: name" for every accessible object of every program on the accessibility
# bus at $1, depth first from each program's root, as a screen reader walks them. Strings
# are shown as busctl shows them (a line break as \n).
address="$1"
call() { busctl --address="$address" "$@" 2> /dev/null; }
text() { sed -n 's/^s "\(.*\)"$/\1/p'; }

walk() {
  local name="$1" path="$2"
  echo "$(call call "$name" "$path" org.a11y.atspi.Accessible GetRoleName | text):" \
    "$(call get-property "$name" "$path" org.a11y.atspi.Accessible Name | text)"
  # Children as (bus name, path) pairs; a program's root named by another (the registry's
  # desktop lists every program) is walked from that program itself.
  local owner child
  while read -r owner child; do
    if [ "$owner" = "$name" ] && [ "${child##*/}" != root ]; then walk "$name" "$child"; fi
  done < <(call call "$name" "$path" org.a11y.atspi.Accessible GetChildren | grep -o '"[^"]*" "[^"]*"' | tr -d '"')
}

# Every program that has a root, busctl itself and the bus aside.
for name in $(call list --unique --no-legend | awk '{ print $1 }'); do
  if call get-property "$name" /org/a11y/atspi/accessible/root org.a11y.atspi.Accessible Name > /dev/null; then
    walk "$name" /org/a11y/atspi/accessible/root
  fi
done
