#!/usr/bin/env bash
# Configures, builds and runs the native test tier (system compiler, no Wine) in
# build/linux. Needs cmake, g++ and googletest (scripts/install-deps.sh installs
# them). Exit status: that of the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$root/build}
jobs=$(nproc)
cmake -S "$root" -B "$out/linux" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out/linux" -j "$jobs" -- --no-print-directory -s
# Every test process has its own simulator: the tests run side by side.
ctest --test-dir "$out/linux" --output-on-failure -j "$jobs"
