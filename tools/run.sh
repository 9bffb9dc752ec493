#!/usr/bin/env bash
# Builds the program folder and starts the window from it. Without a display
# it says so and runs the batch tool over the shipped sample logs instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$(nproc)"
program="$root/build/program"
cd "$program"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x ./varnokel ]; then
  exec ./varnokel
fi
echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): running the batch tool instead."
args=()
for log in "$program"/samples/*.log; do [ -e "$log" ] && args+=(--load "$log"); done
./varnokel-cli --database 1 "${args[@]}" --update --report
echo "The statistics site is in $program/html/ - open $program/html/st.htm in a browser,"
echo "for example: chromium --headless --screenshot $program/html/st.htm"
