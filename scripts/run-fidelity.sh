#!/usr/bin/env bash
# The fidelity benchmark: the fiducial, white and gray cards scanned through the TWAIN road
#   fidelity_scan.exe (twscan's acquisition code) -> kestrel.ds -> <driver>_sim.dll -> scansim.dll
# at every mode and resolution of both drivers, before and after plover's white balance,
# and every image measured against the card's truth (fidelity_compare, native).
#   scripts/run-fidelity.sh [before] [after]      (both phases when none is named)
# Prints the table; keeps the images with their case list, the report and one picture per
# row (scan | truth | difference, PNG) in build/fidelity. The Wine prefix is its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$root/build}
build="$out/x86_64"
native="$out/linux"
bench="$out/fidelity"
started=$(date +%s)

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/x86_64-w64-mingw32.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target fidelity_scan -- --no-print-directory -s
cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$native" -j "$(nproc)" --target fidelity_compare -- --no-print-directory -s
built=$(date +%s)

mkdir -p "$bench"
. "$root/scripts/wine-env.sh"
wine_env_start "$bench"
trap wine_env_stop EXIT
images="$bench/images"
pictures="$bench/pictures"
rm -rf "$images" "$pictures"
mkdir -p "$images" "$pictures"
(cd "$build/bin" && "$WINE64" fidelity_scan.exe "$(winepath_of "$images")" "$@")
scanned=$(date +%s)

"$native/tools/fidelity/fidelity_compare" "$images/cases.txt" "$pictures" | tee "$bench/report.md"
for picture in "$pictures"/*.p[gp]m; do
  convert "$picture" "${picture%.*}.png" && rm "$picture"
done
echo "build $((built - started)) s, scans $((scanned - built)) s, measurement and pictures $(($(date +%s) - scanned)) s"
echo "report: $bench/report.md; images: $images; pictures: $pictures"
