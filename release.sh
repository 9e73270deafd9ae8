#!/usr/bin/env bash
# Builds the release folder, build/release/:
#   Glimmerwatch-Setup-x64.exe   installer for 64-bit Windows
#   Glimmerwatch-Setup-x86.exe   installer for 32-bit Windows
#   Glimmerwatch-scr.zip         x64/ and x86/Glimmerwatch.scr, a read-me and
#                                a .reg file with the first settings, for
#                                installing by hand
#   SHA256SUMS                   sums of the three files above
#   winget/                      the winget manifests (version, defaultLocale,
#                                installer) of package Tessaly.Glimmerwatch
# Works from a fresh clone on Debian or Ubuntu: installs what it misses with
# apt, builds both Windows presets, then the installers.
#
#   ./release.sh [--url-base URL]
#
# URL is where the two installers will be downloaded from once published
# (the winget manifests name URL/Glimmerwatch-Setup-x64.exe and -x86.exe).
# Without it the manifests carry a placeholder that can never resolve, and
# must not be submitted.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
jobs=$(nproc)

placeholder_url=https://placeholder.invalid/SET-WITH-release.sh--url-base
url_base=$placeholder_url
while [ $# -gt 0 ]; do
  case $1 in
    --url-base) [ $# -ge 2 ] || { echo "--url-base needs a URL" >&2; exit 2; }; url_base=$2; shift 2 ;;
    --url-base=*) url_base=${1#*=}; shift ;;
    *) echo "usage: $0 [--url-base URL]" >&2; exit 2 ;;
  esac
done

scripts/install_deps.sh

for preset in win32 win64; do
  echo "== Building $preset"
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j "$jobs" --target Glimmerwatch
done

version=$(sed -n 's/^project(Glimmerwatch VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
release=$root/build/release
rm -rf "$release"
mkdir -p "$release"

echo "== Building the installers ($version)"
for arch in x64 x86; do
  build=win64; [ $arch = x86 ] && build=win32
  makensis -V2 -DARCH=$arch -DSCR="$root/build/$build/Glimmerwatch.scr" \
    -DOUTFILE="$release/Glimmerwatch-Setup-$arch.exe" installer/glimmerwatch.nsi
done

echo "== Packing the .scr files"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/x64" "$stage/x86"
cp build/win64/Glimmerwatch.scr "$stage/x64/"
cp build/win32/Glimmerwatch.scr "$stage/x86/"
# Windows line ends, so that Notepad and regedit on any version read them.
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' installer/zip-readme.txt >"$stage/README.txt"
sed -e 's/$/\r/' installer/glimmerwatch-settings.reg >"$stage/Glimmerwatch-settings.reg"
(cd "$stage" && zip -q -X -r "$release/Glimmerwatch-scr.zip" README.txt Glimmerwatch-settings.reg x64 x86)

(cd "$release" && sha256sum Glimmerwatch-Setup-x64.exe Glimmerwatch-Setup-x86.exe Glimmerwatch-scr.zip >SHA256SUMS)

echo "== Writing the winget manifests"
# The interpreter that apt's python3-yaml and python3-jsonschema belong to.
python=/usr/bin/python3
"$python" installer/winget_manifests.py "$version" "$url_base" "$release" "$release/winget"
# The checks that need no Windows; the installer tests also compare the
# manifests with what the installer writes.
"$python" tests/installer/check_winget.py check "$release/winget" "$release"
if [ "$url_base" = "$placeholder_url" ]; then
  echo "Note: the winget manifests name placeholder URLs; run with --url-base URL before submitting them."
fi

echo "== Release $version in $release"
ls -l "$release"
