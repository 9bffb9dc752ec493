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

# The log line recognisers and the BMP reader under libFuzzer for a bounded
# time (a clang build of those two targets).
cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DVARNOKEL_FUZZ=ON -DVARNOKEL_GUI=OFF -DVARNOKEL_BENCH=OFF
cmake --build "$root/build-fuzz" -j "$jobs" --target fuzz_recognisers fuzz_bmp_read
(cd "$root/build-fuzz" && ctest --output-on-failure -R '^fuzz_')

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$root/build" -j "$jobs"
(cd "$root/build" && ctest --output-on-failure -j "$jobs")
