#!/usr/bin/env bash
# The Linux road: scan a card with scanimage through the SANE backend.
#
#   scanimage -> libsane (dll) -> libsane-kestrel.so.1 -> plover or wren core -> libusb
#     -> usbfs, mocked by scansim-bus -> the simulated scanner
#
#   --driver plover|wren     the scanner (default plover, the simulated CCD scanner)
#   --card fiducial|white|gray|PATH.bmp   the card in the feeder (default fiducial)
# Everything else goes to scanimage (e.g. --mode Lineart --resolution 300 -l 10 -t 10
# -x 30 -y 40). The default is a 150-dpi scan of the whole card, in colour on plover.
# The first run calibrates the scanner with the white card. The image lands in
# build/demo/sane-scan.png. Run by scripts/run-demo.sh --sane.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$root/build}
build="$out/linux"
demo="$out/demo"

driver=plover
card=fiducial
scan_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --driver) driver=${2:?--driver needs plover or wren}; shift 2 ;;
    --card) card=${2:?--card needs fiducial, white, gray or a BMP path}; shift 2 ;;
    *) scan_args+=("$1"); shift ;;
  esac
done
# The scanner kind, the driver's calibration file and its default mode.
case "$driver" in
  plover) kind=ccd; calibration=DadaVorG.oft; mode=Color ;;
  wren) kind=cis0; calibration=wren.clb; mode=Gray ;;
  *) echo "run-demo: unknown driver '$driver' (plover or wren)" >&2; exit 2 ;;
esac
case "$card" in
  fiducial|white|gray) sheet="0=$card" ;;
  *)
    [ -f "$card" ] || { echo "run-demo: no card file '$card'" >&2; exit 2; }
    sheet="0=file:$(cd "$(dirname "$card")" && pwd)/$(basename "$card")" ;;
esac

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target sane_kestrel scansim-bus -- --no-print-directory -s

# A SANE configuration that loads this backend alone; calibration data in the demo folder.
. "$root/scripts/sane-env.sh"
sane_env_start "$build" "$demo/sane.d" "$demo/data"
bus=$SANE_BUS
device=$SANE_BUS_DEVICE

if [ ! -e "$demo/data/kestrel/$calibration" ]; then
  echo "calibrating $driver with the white card"
  "$bus" --device "0=$kind" --sheet 0=white -- scanimage -d "$device" --calibrate -n
fi
rm -f "$demo/sane-scan.png"
"$bus" --device "0=$kind" --sheet "$sheet" -- scanimage -d "$device" --mode "$mode" --resolution 150 \
    "${scan_args[@]}" --format=png -o "$demo/sane-scan.png"
echo "scanned image: $demo/sane-scan.png"
