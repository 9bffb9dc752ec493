#!/usr/bin/env bash
# Builds everything and runs every test: the plain C++ parts under
# AddressSanitizer and UndefinedBehaviorSanitizer, the whole program (window
# included) in a normal build, each with CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/install-deps.sh"
jobs=$(nproc)

cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVARNOKEL_SANITIZE=ON -DVARNOKEL_GUI=OFF -DVARNOKEL_BENCH=OFF
cmake --build "$root/build-asan" -j "$jobs"
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs")

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build" -j "$jobs"
(cd "$root/build" && ctest --output-on-failure -j "$jobs")
