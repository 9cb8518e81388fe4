#!/usr/bin/env bash
# The fidelity benchmark: the fiducial, white and gray cards scanned through the TWAIN road
#   fidelity_scan.exe (twscan's acquisition code) -> kestrel.ds -> <driver>_sim.dll -> scansim.dll
# at every mode and resolution of both drivers, before and after plover's white balance,
# the same cases "after" on the SANE road too
#   scanimage -> libsane-kestrel.so.1 -> <driver> core -> usbfs mocked by scansim-bus,
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
cmake --build "$native" -j "$(nproc)" --target fidelity_compare sane_kestrel scansim-bus -- --no-print-directory -s
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

# The SANE road, "after" only: each driver calibrated with the white card in a data folder of
# its own, then one bus session per card, the images binary PNM beside the others.
sane_failures=0
sane_road() {
  rm -rf "$bench/sane.d" "$bench/sane-data"
  . "$root/scripts/sane-env.sh"
  sane_env_start "$native" "$bench/sane.d" "$bench/sane-data"
  local bus=$SANE_BUS device=$SANE_BUS_DEVICE
  local driver kind modes dpis mode dpi card file
  while read -r driver kind modes dpis; do
    "$bus" --device "0=$kind" --sheet 0=white -- scanimage -d "$device" --format=pnm --calibrate -n ||
      { echo "sane: calibration of $driver failed" >&2; sane_failures=$((sane_failures + 1)); continue; }
    for mode in ${modes//,/ }; do
      for dpi in ${dpis//,/ }; do
        for card in fiducial white gray; do
          file="sane_${driver}_${mode}_${dpi}_${card}_after.pnm"
          if "$bus" --device "0=$kind" --sheet "0=$card" -- scanimage -d "$device" --format=pnm \
             --mode "$(sane_mode "$mode")" --resolution "$dpi" -o "$images/$file"; then
            echo "sane $driver $mode $dpi $card after $file" >> "$images/cases.txt"
          else
            echo "sane: $file failed" >&2
            sane_failures=$((sane_failures + 1))
          fi
        done
      done
    done
  done <<'CASES'
plover ccd rgb,gray,bw 150,300,600
wren cis0 gray,bw 100,300,600,1200
CASES
}
sane_mode() { case "$1" in rgb) echo Color ;; gray) echo Gray ;; bw) echo Lineart ;; esac; }
if [ $# -eq 0 ] || [[ " $* " == *" after "* ]]; then
  sane_road
fi
scanned=$(date +%s)

"$native/tools/fidelity/fidelity_compare" "$images/cases.txt" "$pictures" | tee "$bench/report.md"
for picture in "$pictures"/*.p[gp]m; do
  convert "$picture" "${picture%.*}.png" && rm "$picture"
done
echo "build $((built - started)) s, scans $((scanned - built)) s, measurement and pictures $(($(date +%s) - scanned)) s"
echo "report: $bench/report.md; images: $images; pictures: $pictures"
[ "$sane_failures" -eq 0 ] || { echo "sane: $sane_failures scans or calibrations failed" >&2; exit 1; }
