#!/usr/bin/env bash
# The main job: scan a card through the whole TWAIN road and write the image.
#
#   twscan.exe (host) -> kestrel.ds (data source) -> driver named in Fenwick.INI
#
# Options are passed on to twscan (e.g. --mech memory --pixel gray --dpi 150 --ui).
# The image lands in build/demo/scan.bmp, with a PNG copy beside it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$root/build}
build="$out/x86_64"
demo="$out/demo"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/x86_64-w64-mingw32.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target kestrel twscan testdrv_full -- --no-print-directory -s

. "$root/scripts/wine-env.sh"
wine_env_start "$build"
trap wine_env_stop EXIT

# The data source's profile lives in the Windows directory of the prefix. Until a
# scanner driver is attached, the test-double driver serves a generated card.
windir="$WINEPREFIX/drive_c/windows"
driver=${KESTREL_DEMO_DRIVER:-testdrv_full.dll}
printf '[Drivers]\r\nDriver00=%s\r\n' "$driver" > "$windir/Fenwick.INI"
# Installed as a user installs it, so that a Source Manager (--dsm) finds the source.
mkdir -p "$windir/twain_64/kestrel"
cp "$build/bin/kestrel.ds" "$windir/twain_64/kestrel/kestrel.ds"

mkdir -p "$demo"
rm -f "$demo/scan.bmp" "$demo/scan.png"
(cd "$build/bin" && "$WINE64" twscan.exe --ds kestrel.ds -o "$(winepath_of "$demo/scan.bmp")" \
    --pixel rgb --dpi 150 "$@")
convert "$demo/scan.bmp" "$demo/scan.png"
echo "scanned image: $demo/scan.bmp (PNG copy: $demo/scan.png)"
