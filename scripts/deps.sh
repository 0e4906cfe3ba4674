#!/usr/bin/env bash
# deps.sh: installs the Debian packages the build and the tests need. Safe to run again.
set -euo pipefail

packages=(
  wine wine32:i386 wine64
  g++-mingw-w64-i686 mingw-w64-i686-dev libz-mingw-w64-dev
  msitools wixl
  xvfb xauth x11-apps imagemagick xdotool
  cmake ninja-build googletest
  clang libclang-rt-14-dev
  python3 python3-pytest python3-pytest-xdist
  zlib1g-dev zip unzip 7zip
  openssl osslsigncode
  fonts-dejavu-core fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "deps: all packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
