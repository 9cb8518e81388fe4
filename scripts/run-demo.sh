#!/usr/bin/env bash
# The main job: scan a card through the whole TWAIN road and write the image.
#
#   twscan.exe (host) -> kestrel.ds (data source) -> <driver>_sim.dll -> scansim.dll
#
#   --arch x86_64|i686       the build whose modules scan (default x86_64; i686 is the
#                            shipping 32-bit build, run as on 64-bit Windows)
#   --driver plover|wren     the device driver (default plover, the simulated CCD scanner)
#   --card fiducial|white|gray|PATH.bmp   the card in the feeder (default fiducial)
# Everything else goes to twscan (e.g. --mech memory --pixel gray --dpi 300 --area
# 0,0,2.2,3.6 --ui). The first run of a fresh prefix calibrates with the white card.
# The image lands in build/demo/scan.bmp, with a PNG copy beside it.
set -euo pipefail
[ "${1:-}" = --sane ] && { shift; exec "$(dirname "$0")/run-demo-sane.sh" "$@"; } # the Linux road (SANE)
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$root/build}
demo="$out/demo"

arch=x86_64
driver=plover
card=fiducial
twscan_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --arch) arch=${2:?--arch needs x86_64 or i686}; shift 2 ;;
    --driver) driver=${2:?--driver needs plover or wren}; shift 2 ;;
    --card) card=${2:?--card needs fiducial, white, gray or a BMP path}; shift 2 ;;
    *) twscan_args+=("$1"); shift ;;
  esac
done
case "$arch" in
  x86_64) twain=twain_64 ;;
  i686) twain=twain_32 ;;
  *) echo "run-demo: unknown architecture '$arch' (x86_64 or i686)" >&2; exit 2 ;;
esac
build="$out/$arch"
case "$driver" in
  plover) device=ccd ;;
  wren) device=cis0 ;;
  *) echo "run-demo: unknown driver '$driver' (plover or wren)" >&2; exit 2 ;;
esac
case "$card" in
  fiducial|white|gray) sheet="0=$card" ;;
  *)
    [ -f "$card" ] || { echo "run-demo: no card file '$card'" >&2; exit 2; }
    card_path=$(cd "$(dirname "$card")" && pwd)/$(basename "$card")
    sheet="0=file:Z:${card_path//\//\\}" ;;
esac

"$root/scripts/install-deps.sh"
. "$root/scripts/wine-env.sh"
if ! wine_arch_runs "$arch"; then
  echo "run-demo: this machine does not run $arch programs natively (its Wine loader $(wine_loader "$arch") fails to start, or runs only under qemu)" >&2
  exit 2
fi
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$arch-w64-mingw32.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(kestrel twscan drvcal scansim)
[ -f "$root/drivers/$driver/CMakeLists.txt" ] && targets+=("${driver}_sim")
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" -- --no-print-directory -s
if [ ! -f "$build/bin/${driver}_sim.dll" ]; then
  echo "run-demo: the $driver driver is not built yet (no ${driver}_sim.dll)" >&2
  exit 2
fi

wine_env_start "$build" "$arch"
trap wine_env_stop EXIT

# The data source's profile names the driver; the simulated scanner is configured
# through its environment (one device, one card in the feeder per process).
windir="$WINEPREFIX/drive_c/windows"
printf '[Drivers]\r\nDriver00=%s_sim.dll\r\n' "$driver" > "$windir/Fenwick.INI"
export SCANSIM_DEVICES="0=$device"

# Calibrate once per prefix with the white card, as a user does before the first scan.
(cd "$build/bin" && SCANSIM_SHEET="0=white" "$WINE" drvcal.exe "${driver}_sim.dll" --if-needed)
# Installed as a user installs it, so that a Source Manager (--dsm) finds the source.
mkdir -p "$windir/$twain/kestrel"
cp "$build/bin/kestrel.ds" "$windir/$twain/kestrel/kestrel.ds"

mkdir -p "$demo"
rm -f "$demo/scan.bmp" "$demo/scan.png"
(cd "$build/bin" && SCANSIM_SHEET="$sheet" "$WINE" twscan.exe --ds kestrel.ds \
    -o "$(winepath_of "$demo/scan.bmp")" --pixel rgb --dpi 150 "${twscan_args[@]}")
convert "$demo/scan.bmp" "$demo/scan.png"
echo "scanned image: $demo/scan.bmp (PNG copy: $demo/scan.png)"
