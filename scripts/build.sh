#!/usr/bin/env bash
# Configures and builds the given architectures (default both) into build/<arch>.
#   build.sh [x86_64] [i686]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$root/build}
jobs=$(nproc)
archs=("$@")
[ ${#archs[@]} -gt 0 ] || archs=(x86_64 i686)
for arch in "${archs[@]}"; do
  cmake -S "$root" -B "$out/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$arch-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$out/$arch" -j "$jobs" -- --no-print-directory -s
done
