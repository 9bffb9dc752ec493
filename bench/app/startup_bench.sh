#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up of the main window: time to the first shown frame and memory after
# start-up, as medians over several runs, offscreen and (when xvfb-run is
# there) on a real X server. Usage: bench/app/startup_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-5}
probe=$build/bench/startup_probe
program=$build/program
[ -x "$probe" ] || { echo "build the target startup_probe first ($probe)"; exit 1; }

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

measure() {  # $1: label, rest: command prefix
  local label=$1; shift
  local out; out=$(mktemp)
  for _ in $(seq "$runs"); do
    (cd "$program" && "$@" "$probe" "$program" 2>/dev/null | grep "^frame_ms=") >>"$out" || true
  done
  printf '%-10s runs=%s' "$label" "$(wc -l <"$out")"
  for key in frame_ms page_ms rss_kib pss_kib; do
    printf ' %s=%s' "$key" "$(grep -o "$key=[0-9-]*" "$out" | cut -d= -f2 | median)"
  done
  echo
  rm -f "$out"
}

measure offscreen env QT_QPA_PLATFORM=offscreen
if command -v xvfb-run >/dev/null; then
  measure xvfb xvfb-run -a -s "-screen 0 1280x800x24" env QT_QPA_PLATFORM=xcb
fi
