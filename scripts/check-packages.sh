#!/usr/bin/env bash
# The 32-bit (shipping) packages, checked without running them: their tables hold
# the expected folders, components and files, the product's modules are the i686
# builds of this tree with the product version, and the simulator stays out of it.
#   check-packages.sh <i686 build dir>
set -uo pipefail
build=$(cd "$1" && pwd)
product="$build/installer/kestrel-x86.msi"
simulator="$build/installer/kestrel-sim-x86.msi"
status=0
fail() { echo "package check: $*"; status=1; }
table() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4 | sort; }

for msi in "$product" "$simulator"; do
  [ -f "$msi" ] || { echo "package check: $msi is missing"; exit 1; }
  msiinfo suminfo "$msi" | tr -d '\r' | grep -qx 'Template: Intel;1033' || fail "$(basename "$msi") is not a 32-bit package"
done
version=$(msiinfo export "$product" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" {print $2}')
expected_version=$(sed -n 's/^set(KESTREL_VERSION_\(MAJOR\|MINOR\|BUILD\) \([0-9]*\))$/\2/p' \
  "$(dirname "$0")/../cmake/version.cmake" | paste -sd.)
[ "$version" = "$expected_version" ] || fail "product version $version, the build's is $expected_version"

# Folders: kestrel.ds in <Windows>\twain_32\kestrel, the drivers in the system folder
# (System32 on 32-bit Windows, SysWOW64 on 64-bit Windows).
expected_dirs=$(printf '%s\n' 'SourceFolder	TwainDir	kestrel' 'SystemFolder	TARGETDIR	.' \
  'TARGETDIR		SourceDir' 'TwainDir	WindowsFolder	twain_32' 'WindowsFolder	TARGETDIR	.' | sort)
[ "$(table "$product" Directory)" = "$expected_dirs" ] || { fail "product folders differ:"; table "$product" Directory; }

# Components: folder and attributes (none 64-bit; the profile never overwritten, never removed).
components=$(table "$product" Component | awk -F'\t' '{print $1, $3, $4, $6}')
expected_components=$(printf '%s\n' 'DataSource SourceFolder 0 kestrel.ds' 'DefaultProfile WindowsFolder 144 Fenwick.INI' \
  'PloverDriver SystemFolder 0 plover.dll' 'WrenDriver SystemFolder 0 wren.dll' | sort)
[ "$components" = "$expected_components" ] || { fail "product components differ:"; echo "$components"; }
files=$(table "$product" File | awk -F'\t' '{print $3, $5}')
expected_files=$(printf '%s\n' "kestrel.ds $version.0" "Fenwick.INI " "plover.dll $version.0" "wren.dll $version.0" | sort)
[ "$files" = "$expected_files" ] || { fail "product files differ:"; echo "$files"; }

sim_components=$(table "$simulator" Component | awk -F'\t' '{print $1, $3, $4, $6}')
expected_sim=$(printf '%s\n' 'PloverSim SystemFolder 0 plover_sim.dll' 'Simulator SystemFolder 0 scansim.dll' \
  'WrenSim SystemFolder 0 wren_sim.dll' | sort)
[ "$sim_components" = "$expected_sim" ] || { fail "simulator components differ:"; echo "$sim_components"; }

# The modules inside: i686 builds, byte for byte those of this build tree.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
msiextract -C "$unpacked/product" "$product" >/dev/null
msiextract -C "$unpacked/sim" "$simulator" >/dev/null
for f in product/twain_32/kestrel/kestrel.ds product/plover.dll product/wren.dll \
         sim/scansim.dll sim/plover_sim.dll sim/wren_sim.dll; do
  module="$unpacked/$f"
  [ -f "$module" ] || { fail "$f is not in the package"; continue; }
  format=$(i686-w64-mingw32-objdump -f "$module" | sed -n 's/.*file format //p')
  [ "$format" = "pei-i386" ] || fail "$f is $format, not an i686 module"
  cmp -s "$module" "$build/bin/$(basename "$f")" || fail "$f is not the module of this build"
  [ "$(i686-w64-mingw32-strings -el "$module" | grep -A1 -x FileVersion | tail -1)" = "$version" ] ||
    fail "$f does not carry version $version"
done
[ -z "$(find "$unpacked/product" -iname '*sim*')" ] || fail "the product package carries the simulator"

[ $status -eq 0 ] && echo "package check: kestrel-x86.msi and kestrel-sim-x86.msi hold the expected i686 modules, folders and components"
exit $status
