#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the program folder and starts the window from it. Without a display
# it says so and runs the batch tool over the shipped sample logs instead, as
# an installed program in a demo folder of its own (build/demo/varnokel/), so
# the databases of build/program/ stay as the user left them.
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
installed="$root/build/installed"
cmake --install "$root/build" --prefix "$installed" >/dev/null
demo="$root/build/demo"
rm -rf "$demo"
args=()
for log in "$installed"/share/varnokel/samples/*.log; do [ -e "$log" ] && args+=(--load "$log"); done
XDG_DATA_HOME="$demo" "$installed/bin/varnokel-cli" --database 1 "${args[@]}" --update --report
site="$demo/varnokel/html"
echo "The statistics site is in $site/ - open $site/st.htm in a browser,"
echo "for example: chromium --headless --screenshot $site/st.htm"
