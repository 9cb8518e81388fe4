#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need, with the
# i386 architecture for wine32 (the loader of the 32-bit build's programs).
# Idempotent and quiet; does nothing when everything is already there.
set -euo pipefail

packages=(
  cmake make python3 g++ pkg-config libusb-1.0-0-dev
  libsane-dev sane-utils python3-sane
  umockdev libumockdev-dev usbutils
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine64 wine32:i386 xvfb xauth
  googletest
  imagemagick
  wixl msitools
  fonts-wqy-microhei
)

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

new_architecture=no
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  new_architecture=yes
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ $new_architecture = no ] && exit 0

echo "installing: ${missing[*]}"
$SUDO apt-get update -qq
[ ${#missing[@]} -eq 0 ] && exit 0
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
