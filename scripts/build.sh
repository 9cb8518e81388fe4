#!/usr/bin/env bash
# Configures and builds both architectures into build/x86_64 and build/i686.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$root/build}
jobs=$(nproc)
for arch in x86_64 i686; do
  cmake -S "$root" -B "$out/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$arch-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$out/$arch" -j "$jobs" -- --no-print-directory -s
done
