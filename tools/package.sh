#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Release configuration for /usr and makes the Debian package with
# CPack (dependencies computed by dpkg-shlibdeps). Leaves
# build/varnokel_<version>_amd64.deb and prints its path. Arguments are passed
# to the configure step (the test command adds -DVARNOKEL_WERROR=ON).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/install-deps.sh"
release="$root/build-release"
cmake -S "$root" -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVARNOKEL_BENCH=OFF "$@"
cmake --build "$release" -j "$(nproc)"
rm -rf "$release/package"
mkdir -p "$release/package"
if ! (cd "$release" && cpack -G DEB -B "$release/package" >"$release/package/cpack.log" 2>&1); then
  cat "$release/package/cpack.log" >&2
  exit 1
fi
debs=("$release"/package/varnokel_*_amd64.deb)
mkdir -p "$root/build"
cp "${debs[0]}" "$root/build/"
echo "$root/build/$(basename "${debs[0]}")"
