#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up cost of the two embedded views: time from process start to the
# design page drawn, to the first animation frame, and the memory (PSS) of the
# whole process tree after start-up, with and without the animation view.
# Runs the views_probe executable of a build folder RUNS times per case on the
# offscreen platform, and under Xvfb when xvfb-run is there.
#   bench/views/measure_startup.sh [BUILD_DIR] [RUNS]
# setup_ms is the part of the times spent writing the sample site first.
# With SCREENS=DIR it also saves screenshots of both views there.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-5}
probe=$build/bench/views_probe
[ -x "$probe" ] || { echo "build $probe first (target views_probe)" >&2; exit 1; }

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

measure() {  # platform label, then the probe's arguments
  local label=$1; shift
  local out=$(mktemp)
  for _ in $(seq "$runs"); do
    "$@" 2>/dev/null | grep '^animation=' >>"$out" || echo "run failed" >&2
  done
  local field
  printf '%-28s' "$label"
  for field in design_painted_ms first_frame_ms pss_kib setup_ms; do
    printf ' %s=%s' "$field" "$(sed -n "s/.*$field=\([-0-9]*\).*/\1/p" "$out" | median)"
  done
  printf ' (median of %s)\n' "$(wc -l <"$out")"
  rm -f "$out"
}

cd "$(mktemp -d)"
export QT_QPA_PLATFORM=offscreen
"$probe" >/dev/null 2>&1 || true  # warm the file cache once
measure "offscreen, both views" "$probe"
measure "offscreen, HTML view only" "$probe" --no-animation
if command -v xvfb-run >/dev/null; then
  export QT_QPA_PLATFORM=xcb
  measure "Xvfb, both views" xvfb-run -a "$probe"
  measure "Xvfb, HTML view only" xvfb-run -a "$probe" --no-animation
fi
if [ -n "${SCREENS:-}" ]; then
  mkdir -p "$SCREENS"
  QT_QPA_PLATFORM=offscreen "$probe" --screenshot "$SCREENS/views_design.png" >/dev/null 2>&1
  QT_QPA_PLATFORM=offscreen "$probe" --screenshot "$SCREENS/views_site.png" --page html/st.htm \
    >/dev/null 2>&1
  if command -v xvfb-run >/dev/null; then
    QT_QPA_PLATFORM=xcb xvfb-run -a "$probe" --screenshot "$SCREENS/views_site_xvfb.png" \
      --page html/wt.htm >/dev/null 2>&1
  fi
  echo "screenshots in $SCREENS"
fi
