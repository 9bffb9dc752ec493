#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every folder of the program includes only from itself and the
# folders below it, so that the layers form no cycle:
#
#   base  <  log  <  db  <  report  <  listen  <  cli
#   base  <  skin/core  <  skin  <  app      (app also uses log, db, report)
#
# Prints each offending include as "file:line: folder -> included" and exits 1
# when there is one. Usage: check_layers.sh [SOURCE_DIR]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}

# The folders a file of each layer may include from (its own included).
declare -A allowed=(
  [base]="base"
  [log]="base log"
  [db]="base log db"
  [report]="base db report"
  [skin/core]="base skin/core"
  [skin]="base skin/core skin"
  [app]="base log db report skin/core skin app"
  [listen]="base log db report listen"
  [cli]="base log db report listen cli"
)

# The layer of a path below the source folder: the longest layer name that is
# a leading folder of it.
layer_of() {
  local path=$1 best=""
  for layer in "${!allowed[@]}"; do
    if [[ $path == "$layer"/* && ${#layer} -gt ${#best} ]]; then best=$layer; fi
  done
  echo "$best"
}

status=0
checked=0
while IFS= read -r file; do
  rel=${file#"$root"/}
  layer=$(layer_of "$rel")
  [ -n "$layer" ] || continue
  checked=$((checked + 1))
  while IFS=: read -r line included; do
    target=$(layer_of "$included")
    ok=0
    for dep in ${allowed[$layer]}; do [ "$target" = "$dep" ] && ok=1; done
    if [ $ok -eq 0 ]; then
      echo "$rel:$line: $layer -> $included"
      status=1
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
           sed -E 's/^([0-9]+):[^"]*"([^"]*)".*/\1:\2/')
done < <(find "$root/base" "$root/log" "$root/db" "$root/report" "$root/listen" "$root/skin" "$root/app" "$root/cli" \
           -type f \( -name '*.h' -o -name '*.cpp' \))

if [ $checked -eq 0 ]; then
  echo "check_layers: no source files found below $root" >&2
  exit 1
fi
[ $status -eq 0 ] && echo "check_layers: $checked files, every include goes to its own layer or one below"
exit $status
