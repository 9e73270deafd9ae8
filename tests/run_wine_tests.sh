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

# How many tests ctest lists under a label. The listing is read whole before
# it is searched: in `ctest -N | grep -q` under pipefail, grep stops at its
# first match, ctest dies of SIGPIPE (141) and the group read as empty, so
# groups were skipped at random.
tests_with_label() {
  local listing
  listing=$(ctest --test-dir "$build_dir" -N -L "$1") || return 1
  sed -n 's/^Total Tests: *\([0-9][0-9]*\)$/\1/p' <<<"$listing"
}

run_group() {
  local name=$1 geometry=$2 filter=$3 display prefix count
  count=$(tests_with_label "$filter") || count=
  if [ "${count:-0}" -eq 0 ]; then
    echo "!! Group '$name': no tests labelled '$filter' in $build_dir" >&2
    return 1
  fi
  start_display "$geometry"
  prefix=$(make_prefix "$name" "$display") || { echo "!! Group '$name': no prefix" >&2; return 1; }
  echo "== Running '$filter' tests on $geometry" >&2
  local status=0
  # --no-tests=error: a group that runs nothing fails rather than passing.
  DISPLAY=$display WINEPREFIX=$prefix WINEDEBUG=-all \
    ctest --test-dir "$build_dir" -L "$filter" --no-tests=error --output-on-failure || status=$?
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  return $status
}

status=0
run_group main 1024x768x24 '^(win32|e2e)$' || status=1
run_group portrait 768x1024x24 '^e2e_portrait$' || status=1
run_group depth8 1024x768x8 '^e2e_depth8$' || status=1
exit $status
