#!/usr/bin/env bash
# Installs what is missing, then configures, builds and runs the native test tier
# (system compiler, no Wine) in build/linux. Exit status: that of the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$root/build}
jobs=$(nproc)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$out/linux" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out/linux" -j "$jobs" -- --no-print-directory -s
# Every test process has its own simulator: the tests run side by side.
ctest --test-dir "$out/linux" --output-on-failure -j "$jobs"
