#!/usr/bin/env bash
# The packages of one architecture as a user meets them, in a fresh 64-bit Wine
# prefix of their own (the x86 ones as on 64-bit Windows: the source in twain_32,
# the drivers in SysWOW64, found by the 32-bit Source Manager and host):
#   a failed install rolls back; `msiexec /i kestrel-<arch>.msi /qn` (logged) installs;
#   the TWAIN Working Group's Source Manager lists the source by its identity, whose
#   version agrees with the package's and the modules' version resources;
#   without a scanner the source tells the user so; with the simulator add-on,
#   twscan scans the fiducial card through plover and wren into PNG, TIFF and BMP;
#   a newer package upgrades in place; uninstalling leaves none of the installed
#   files but keeps the profile and the calibration files.
# Usage: installer_test.sh <build dir> <shared dir> x64|x86; needs DISPLAY (an X server).
set -uo pipefail
build=$(cd "$1" && pwd)
shared=$2
arch=$3
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
# The build's programs (twscan, drvcal, box_watch) run under the loader of their
# architecture; msiexec and reg are the prefix's own 64-bit ones, as on Windows.
case $arch in
  x64) WINE=$WINE64 twain=twain_64 system_folder=system32 bits=64 registry_view=/reg:64 ;;
  x86) WINE=/usr/lib/wine/wine twain=twain_32 system_folder=syswow64 bits=32 registry_view=/reg:32 ;;
  *) echo "installer test: unknown architecture '$arch' (x64 or x86)"; exit 1 ;;
esac
manager="$shared/vendor/twaindsm-2.4.3/$bits/TWAINDSM.dll"
[ -f "$manager" ] || { echo "installer test: no Source Manager at $manager"; exit 1; }

export WINEPREFIX="$build/installer-prefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
work="$build/artifacts/installer"
rm -rf "$WINEPREFIX" "$work"
mkdir -p "$work"
"$WINE64" wineboot -i >/dev/null 2>&1
printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n' > "$work/x11.reg"
"$WINE64" regedit "$work/x11.reg" >/dev/null 2>&1
"$WINESERVER" -w
"$WINESERVER" -p
trap '"$WINESERVER" -k >/dev/null 2>&1' EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; "$@" || fail "$what"; }
win() { local p=$1; echo "Z:${p//\//\\}"; }

windows="$WINEPREFIX/drive_c/windows"
system="$windows/$system_folder"
source_ds="$windows/$twain/kestrel/kestrel.ds"
product_files=("$source_ds" "$system/plover.dll" "$system/wren.dll")
sim_files=("$system/scansim.dll" "$system/plover_sim.dll" "$system/wren_sim.dll")
msi="$build/installer"
version=$(msiinfo export "$msi/kestrel-$arch.msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" {print $2}')
next_version=$(msiinfo export "$msi/kestrel-$arch-next.msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" {print $2}')

msiexec() {  # action, package, log name; the exit code of msiexec
  "$WINE64" msiexec "$1" "$(win "$2")" /qn /l*v "$(win "$work/$3.log")" </dev/null >/dev/null 2>&1
}
# Uninstall entries (DisplayName, DisplayVersion, Publisher) of our product, one line
# each, in the registry view of the package's architecture.
uninstall_entries() {
  "$WINE64" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s $registry_view 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ {if (name != "") print name "|" ver "|" pub; name = ver = pub = ""}
         $1 == "DisplayName" {sub(/^ *DisplayName +REG_SZ +/, ""); name = $0}
         $1 == "DisplayVersion" {sub(/^ *DisplayVersion +REG_SZ +/, ""); ver = $0}
         $1 == "Publisher" {sub(/^ *Publisher +REG_SZ +/, ""); pub = $0}
         END {if (name != "") print name "|" ver "|" pub}' | grep '^Zureruri Zedu|' || true
}
same_as_built() { cmp -s "$1" "$build/bin/$(basename "$1")"; }
# The FileVersion text of a module's version resource.
file_version() { i686-w64-mingw32-strings -el "$1" | grep -A1 -x FileVersion | tail -1; }

# Tools run from a folder of their own, so the modules they load come from where
# the packages put them, not from the build folder.
tools="$WINEPREFIX/drive_c/tools"
mkdir -p "$tools"
cp "$build/bin/twscan.exe" "$build/bin/drvcal.exe" "$build/bin/box_watch.exe" "$tools/"
twscan() { (cd "$tools" && "$WINE" twscan.exe --dsm "$(win "$manager")" "$@" </dev/null); }

# --- a failed install rolls back: a file where the source's folder belongs ---
mkdir -p "$windows/$twain"
echo "in the way" > "$windows/$twain/kestrel"
msiexec /i "$msi/kestrel-$arch.msi" failed && fail "an install that cannot create its folder succeeded"
for f in "$system/plover.dll" "$system/wren.dll" "$windows/Fenwick.INI"; do
  [ -e "$f" ] && fail "the failed install left $(basename "$f")"
done
[ -z "$(uninstall_entries)" ] || fail "the failed install left an entry in installed programs"
rm -f "$windows/$twain/kestrel"

# --- silent, logged install of the product ---
msiexec /i "$msi/kestrel-$arch.msi" install || fail "msiexec /i kestrel-$arch.msi /qn failed"
# Wine writes the log in the ANSI code page, Windows in UTF-16: dropping NUL bytes reads either.
check "the install log names the product" grep -aq "Zureruri Zedu" <(tr -d '\000' < "$work/install.log")
for f in "${product_files[@]}"; do
  check "$f is the built module" same_as_built "$f"
  check "$(basename "$f") carries version $version" test "$(file_version "$f")" = "$version"
done
check "the default profile is installed" cmp -s "$windows/Fenwick.INI" "$(dirname "$0")/../../installer/Fenwick.INI"
check "no simulator in the product" test ! -e "$system/scansim.dll"
entries=$(uninstall_entries)
check "one entry in installed programs, with version and maker (got: $entries)" \
  test "$entries" = "Zureruri Zedu|$version|Norvale Inc."

listing=$(twscan --list)
echo "$listing" > "$work/list.txt"
# Name, maker, family, TW_IDENTITY version and its text: the package's major.minor.
identity=$(echo "$listing" | tr -d '\r' | grep "^Zureruri Zedu	")
check "the Source Manager lists the source by its identity (got: $listing)" \
  test "$identity" = "Zureruri Zedu	Norvale Inc.	Vantor	${version%.*}	$(printf '%d.%02d' "${version%%.*}" "$(echo "$version" | cut -d. -f2)")"

# --- no scanner: the profile lists plover and wren. Probing plover's memory test
# fails with its "Buffer testing failure" box, wren's probe declines silently, so the
# source falls back to plover.dll unprobed and opens; enabling then tells the user
# that the scanner is off or not connected, and asks to be closed. ---
(cd "$tools" && "$WINE" box_watch.exe 30 2 > "$work/no-scanner-box.txt" 2>&1) &
watcher=$!
twscan -o "$(win "$work/none.bmp")" > "$work/no-scanner.out" 2>&1
status=$?
wait $watcher
sed -i 's/\r$//' "$work/no-scanner-box.txt"
check "twscan without a scanner fails (exit $status)" test $status -ne 0
check "the source asked to be closed" grep -q "asked to be closed" "$work/no-scanner.out"
check "the user read the probe's and the no-scanner message (got: $(cat "$work/no-scanner-box.txt"))" \
  test "$(head -1 "$work/no-scanner-box.txt")" = "Buffer testing failure...1" -a \
       "$(sed -n 2p "$work/no-scanner-box.txt")" = "Scanning is aborted due to scanner either not powered on or not connected to the PC properly.  Please check the hardware and try again."
check "no image without a scanner" test ! -e "$work/none.bmp"

# --- the simulator add-on: scans through both drivers ---
msiexec /i "$msi/kestrel-sim-$arch.msi" sim-install || fail "msiexec /i kestrel-sim-$arch.msi /qn failed"
for f in "${sim_files[@]}"; do check "$f is the built module" same_as_built "$f"; done
[ "$(uninstall_entries)" = "Zureruri Zedu|$version|Norvale Inc." ] || fail "the add-on changed the product's entry"

# Pixel value (0-255, gray) of an image at x,y.
pixel() { convert "$1" -colorspace Gray -format "%[fx:int(255*p{$2,$3})]" info:; }
# A 150-dpi gray scan of the fiducial card: its top-left mark (150,150 in 1/600 inch) is
# dark and the white ground beside it (300,150) bright.
expect_fiducial() {
  local image=$1 dx=$2
  local mark ground
  mark=$(pixel "$image" $((37 + dx)) 37)
  ground=$(pixel "$image" $((75 + dx)) 37)
  check "$image: the top-left mark is dark ($mark)" test "$mark" -lt 80
  check "$image: the ground beside it is bright ($ground)" test "$ground" -gt 150
}
# identify's width, height, depth and resolution (pixels per inch) of an image.
geometry() { identify -units PixelsPerInch -format '%w %h %z %x' "$1" 2>/dev/null | awk '{printf "%s %s %s %.0f", $1, $2, $3, $4}'; }

for driver in plover wren; do
  case $driver in plover) device=ccd ;; wren) device=cis0 ;; esac
  printf '[Drivers]\r\nDriver00=%s_sim.dll\r\n' "$driver" > "$windows/Fenwick.INI"
  export SCANSIM_DEVICES="0=$device"
  (cd "$tools" && SCANSIM_SHEET="0=white" "$WINE" drvcal.exe "${driver}_sim.dll" </dev/null > "$work/$driver-drvcal.txt" 2>&1) ||
    fail "$driver: calibration with the white card failed"
  # Every writer: native transfers into all three formats, PNG from memory strips,
  # TIFF converted from the source's file transfer.
  for run in "png native" "tif native" "bmp native" "memory.png memory" "file.tif file"; do
    read -r name mech <<<"$run"
    out="$work/$driver-card.$name"
    SCANSIM_SHEET="0=fiducial" twscan --pixel gray --dpi 150 --mech "$mech" -o "$(win "$out")" \
      > "$work/$driver-$name.out" 2>&1 || fail "$driver: twscan -o card.$name failed: $(tail -1 "$work/$driver-$name.out")"
  done
  bmp=$(geometry "$work/$driver-card.bmp")
  read -r width height depth dpi <<<"$bmp"
  check "$driver: the BMP is a 150-dpi 8-bit page of the card (got: $bmp)" \
    test "$depth" = 8 -a "$dpi" = 150 -a "$height" -ge 530 -a "$width" -ge 300
  for name in png tif memory.png file.tif; do
    got=$(geometry "$work/$driver-card.$name")
    check "$driver: card.$name has the scan's size, depth and resolution ($got, BMP $bmp)" test "$got" = "$bmp"
  done
  check "$driver: the file transfer's BMP was converted and removed" test ! -e "$work/$driver-card.file.tif.scan.bmp"
  # plover's first column carries no image; wren's first 18 pixels see the paper guide.
  case $driver in plover) dx=1 ;; wren) dx=0 ;; esac
  for name in png tif bmp memory.png file.tif; do expect_fiducial "$work/$driver-card.$name" $dx; done
  convert "$work/$driver-card.png" "$work/$driver-card-view.png" 2>/dev/null
done
unset SCANSIM_DEVICES

# Black and white into PNG: one bit per pixel, marks black on white.
export SCANSIM_DEVICES="0=ccd"
printf '[Drivers]\r\nDriver00=plover_sim.dll\r\n' > "$windows/Fenwick.INI"
SCANSIM_SHEET="0=fiducial" twscan --pixel bw --dpi 150 -o "$(win "$work/plover-bw.png")" > "$work/plover-bw.out" 2>&1 ||
  fail "plover: twscan --pixel bw -o card.png failed: $(tail -1 "$work/plover-bw.out")"
read -r width height depth dpi <<<"$(geometry "$work/plover-bw.png")"
bits=$(identify -format '%[png:IHDR.bit_depth]' "$work/plover-bw.png" 2>/dev/null)
check "plover: the black-and-white PNG is a 1-bit 150-dpi page ($width $height, $bits bit, $dpi dpi)" \
  test "$bits" = 1 -a "$dpi" = 150 -a "$height" = 540
# The 1-bit width is rounded up to 32 pixels; the window reaches past the card's left
# edge by the added columns, so the card sits that much to the right.
expect_fiducial "$work/plover-bw.png" $((width - 332))
unset SCANSIM_DEVICES

# --count: the source ends its transfers after each sheet, so twscan enables it again
# for the next one. The feeder holds one sheet: the first file is written and
# numbered, then the missing second sheet ends the run with a message and a non-zero exit.
export SCANSIM_DEVICES="0=ccd"
printf '[Drivers]\r\nDriver00=plover_sim.dll\r\n' > "$windows/Fenwick.INI"
(cd "$tools" && "$WINE" box_watch.exe 60 5 > "$work/count-box.txt" 2>&1) &
watcher=$!
SCANSIM_SHEET="0=fiducial" twscan --pixel gray --dpi 100 --count 2 -o "$(win "$work/sheet.png")" > "$work/count.out" 2>&1
status=$?
kill $watcher 2>/dev/null; wait $watcher 2>/dev/null
unset SCANSIM_DEVICES
check "--count 2 with one sheet fails (exit $status)" test $status -ne 0
check "--count: the first sheet is sheet-001.png" test -s "$work/sheet-001.png"
check "--count: no second file" test ! -e "$work/sheet-002.png"
check "--count: the failure names the count" grep -q "1 of 2 images written" "$work/count.out"
check "--count: the second sheet was asked for" test "$(grep -c "source enabled" "$work/count.out")" = 2

# --- a newer package upgrades in place; the user's profile stays as it is ---
profile_before=$(cat "$windows/Fenwick.INI")
echo "damaged" >> "$system/plover.dll"   # an older file in place
msiexec /i "$msi/kestrel-$arch-next.msi" upgrade || fail "the upgrade to $next_version failed"
entries=$(uninstall_entries)
check "after the upgrade one entry, version $next_version (got: $entries)" \
  test "$entries" = "Zureruri Zedu|$next_version|Norvale Inc."
for f in "${product_files[@]}"; do check "the upgrade replaced $(basename "$f")" same_as_built "$f"; done
check "the upgrade kept the user's profile" test "$(cat "$windows/Fenwick.INI")" = "$profile_before"

# --- uninstall: no installed file stays; profile and calibration files do ---
calibration=("$windows/twain_32/plover/DadaVorG.oft" "$WINEPREFIX/drive_c/ProgramData/wren_sim.clb")
for f in "${calibration[@]}"; do check "calibration file $f exists before uninstalling" test -s "$f"; done
msiexec /x "$msi/kestrel-$arch-next.msi" uninstall || fail "msiexec /x failed"
msiexec /x "$msi/kestrel-sim-$arch.msi" sim-uninstall || fail "msiexec /x of the add-on failed"
for f in "${product_files[@]}" "${sim_files[@]}"; do
  [ -e "$f" ] && fail "uninstalling left $f"
done
[ -e "$windows/$twain/kestrel" ] && fail "uninstalling left the source's folder"
check "the entry left installed programs" test -z "$(uninstall_entries)"
check "the user's profile stays" test "$(cat "$windows/Fenwick.INI" 2>/dev/null)" = "$profile_before"
for f in "${calibration[@]}"; do check "calibration file $f stays" test -s "$f"; done

if [ $failures -eq 0 ]; then
  echo "installer test: passed"
else
  echo "installer test: $failures failures (logs and images in $work)"
fi
[ $failures -eq 0 ]
