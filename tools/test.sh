#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds everything and runs every test: the plain C++ parts under
# AddressSanitizer and UndefinedBehaviorSanitizer, the whole program (window
# included) in a normal build and in the Release build, each with CTest, and
# the Debian package made from the Release build. Warnings are errors here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/install-deps.sh"
jobs=$(nproc)

cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVARNOKEL_SANITIZE=ON -DVARNOKEL_GUI=OFF -DVARNOKEL_BENCH=OFF -DVARNOKEL_WERROR=ON
cmake --build "$root/build-asan" -j "$jobs"
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs")

# Under libFuzzer for a bounded time (a clang build of these targets): the
# log line recognisers, the BMP reader, the log stream's datagrams with the
# ledger and the journal's store record, and the update's plan.
cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DVARNOKEL_FUZZ=ON -DVARNOKEL_GUI=OFF -DVARNOKEL_BENCH=OFF \
  -DVARNOKEL_WERROR=ON
cmake --build "$root/build-fuzz" -j "$jobs" --target fuzz_recognisers fuzz_bmp_read \
  fuzz_network_and_journal fuzz_update_plan
(cd "$root/build-fuzz" && ctest --output-on-failure -R '^fuzz_')

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNOKEL_WERROR=ON
cmake --build "$root/build" -j "$jobs"
(cd "$root/build" && ctest --output-on-failure -j "$jobs")

# The Release build (-O3 shows warnings the other builds do not) with every
# target, its tests, and the Debian package made from it, unpacked into a
# temporary root and run from there by the packaging test.
deb=$(bash "$root/tools/package.sh" -DVARNOKEL_WERROR=ON -DVARNOKEL_BENCH=ON | tee /dev/stderr | tail -n 1)
(cd "$root/build-release" && ctest --output-on-failure -j "$jobs")
bash "$root/tests/package/test_package.sh" "$deb"
