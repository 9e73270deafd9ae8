#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages that building, running and testing
# need, when they are missing. Uses apt as root, or through sudo.
# ImageMagick comes without Ghostscript's fonts (no recommends), so every
# script that draws text names a DejaVu font file from fonts-dejavu-core.
# Xephyr (xserver-xephyr) nests inside Xvfb to give the tests two monitors;
# xrandr (x11-xserver-utils) adds the display modes a test switches to.
# libfaketime shifts Wine's clocks for the uptime tests.
# The winget manifests are written and checked with the system's python3
# (/usr/bin/python3), which these two Python packages belong to.
# Wine's 32-bit half, for the 32-bit build's tests, comes from
# scripts/setup_wine32.sh, which ./test.sh runs right after this script,
# before it builds anything.
set -euo pipefail

packages=(
  cmake make g++ googletest libgtest-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64
  wine wine64 xvfb xserver-xephyr x11-utils x11-xserver-utils xdotool libgl1-mesa-dri libglu1-mesa
  imagemagick fonts-dejavu-core nsis zip python3-yaml python3-jsonschema
  libxdamage-dev libfaketime
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "== Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "Missing packages and neither root nor sudo: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
