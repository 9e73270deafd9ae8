#!/usr/bin/env bash
# Runs the Wine test kinds of a 64-bit build (ctest labels win32 and e2e)
# on private X displays with a private Wine prefix each, and removes them
# again. Usage: tests/run_wine_tests.sh [build-dir]
#
# Screens: most tests run on a 1024x768 true-colour screen; the tests whose
# suite names start with Portrait run on a 768x1024 screen, and those
# starting with Depth8 on an 8-bit screen.
set -euo pipefail

build_dir=$(cd "${1:-build/win64}" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/glimmerwatch-tests.XXXXXX)
source "$source_dir/scripts/private_display.sh"
source "$source_dir/scripts/first_settings.sh"


# Creates a prefix for that display, with the settings an installation
# leaves and a known desktop picture on the display.
make_prefix() {
  local name=$1 display=$2 prefix="$work/prefix-$1"
  echo "== Wine prefix '$name' on display $display" >&2
  init_prefix "$prefix" "$work/wineboot-$name.log"
  DISPLAY=$display WINEPREFIX=$prefix write_first_settings >&2 || return 1
  local size
  size=$(DISPLAY=$display xdpyinfo | awk '/dimensions:/ {print $2}')
  convert -size "$size" -seed 7 plasma:fractal -blur 0x2 \
    -fill white -stroke black -draw "rectangle 40,40 240,140" \
    -fill '#204080' -draw "circle 700,500 760,560" "$work/desktop-$name.png"
  # display exits with 1 after drawing into the root window.
  DISPLAY=$display display -window root "$work/desktop-$name.png" || true
  echo "$prefix"
}

run_group() {
  local name=$1 geometry=$2 filter=$3 display prefix
  start_display "$geometry"
  prefix=$(make_prefix "$name" "$display")
  echo "== Running '$filter' tests on $geometry" >&2
  local status=0
  DISPLAY=$display WINEPREFIX=$prefix WINEDEBUG=-all GLIMMER_DESKTOP_PICTURE="$work/desktop-$name.png" \
    ctest --test-dir "$build_dir" -L "$filter" --output-on-failure || status=$?
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  return $status
}

status=0
run_group main 1024x768x24 '^(win32|e2e)$' || status=1
if ctest --test-dir "$build_dir" -N -L '^e2e_portrait$' | grep -q 'Test *#'; then
  run_group portrait 768x1024x24 '^e2e_portrait$' || status=1
fi
if ctest --test-dir "$build_dir" -N -L '^e2e_depth8$' | grep -q 'Test *#'; then
  run_group depth8 1024x768x8 '^e2e_depth8$' || status=1
fi
exit $status
