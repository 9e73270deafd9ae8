#!/usr/bin/env bash
# Runs the Wine test kinds of a 64-bit build (ctest labels win32 and e2e)
# on private X displays with private Wine prefixes, and removes them again.
# Usage: tests/run_wine_tests.sh [--all-sizes] [--only REGEX] [build-dir]
#   --all-sizes  also the large screens (1280x1024, 2560x1440, 3840x2160)
#   --only       just the groups whose names match (e.g. --only '^size-')
#
# Screens: most tests run on a 1024x768 true-colour screen; the tests whose
# suite names start with Portrait run on a 768x1024 screen, those starting
# with Depth8 on an 8-bit screen, those starting with Sizes on each of the
# size groups' screens below, those starting with TwoMonitors on two
# 1024x768 monitors side by side, and those starting with DisplayChange on a
# 1024x768 screen that can switch down to 800x600. Every screen shows the sample desktop
# picture (scripts/desktop_picture.sh) made at its size, across all
# monitors, with fine detail: rows of small text, one-pixel lines and a
# one-pixel checker over a smooth background.
set -euo pipefail

all_sizes=0
only=
while [ $# -gt 0 ]; do
  case $1 in
    --all-sizes) all_sizes=1; shift ;;
    --only) only=$2; shift 2 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
build_dir=$(cd "${1:-build/win64}" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/glimmerwatch-tests.XXXXXX)
source "$source_dir/scripts/private_display.sh"
source "$source_dir/scripts/first_settings.sh"
source "$source_dir/scripts/desktop_picture.sh"
source "$source_dir/scripts/shifted_clock.sh"
source "$source_dir/scripts/test_times.sh"

# group name, screen (WIDTHxHEIGHTxDEPTH, or WIDTHxHEIGHT+WIDTHxHEIGHT for
# two monitors side by side, either followed by ,WIDTHxHEIGHT for each
# smaller mode it can switch to; see scripts/private_display.sh), ctest label,
# Wine prefix, millisecond clock. Groups that name the same prefix share it
# (made once): a prefix costs seconds, and neither the Portrait, Depth8,
# Sizes nor the TwoMonitors cases need anything of their own in it (each
# writes the settings it starts with; the last check that Windows sees the
# two monitors there). The clock is the machine's (-), or
# shifted as on a PC that has been up for weeks (see uptime_target).
groups=(
  "main 1024x768x24 ^(win32|e2e)$ main -"
  "uptime-past-2^31 1024x768x24 ^e2e_uptime$ main past-2^31"
  "uptime-wrap 1024x768x24 ^e2e_uptime_wrap$ main wrap-in-hold-back"
  "display-change 1024x768x24,800x600 ^e2e_display_change$ main -"
  "portrait 768x1024x24 ^e2e_portrait$ sizes -"
  "depth8 1024x768x8 ^e2e_depth8$ sizes -"
  "size-1024x768x16 1024x768x16 ^e2e_sizes$ sizes -"
  "size-1366x768 1366x768x24 ^e2e_sizes$ sizes -"
  "size-1920x1080 1920x1080x24 ^e2e_sizes$ sizes -"
  "size-1080x1920 1080x1920x24 ^e2e_sizes$ sizes -"
  "two-monitors 1024x768+1024x768 ^e2e_two_monitors$ sizes -"
  # The same two monitors with the second one left of the primary, which
  # the group's tests ask Wine for (see e2e_left_monitor_on).
  "left-monitor 1024x768+1024x768 ^e2e_left_monitor$ sizes -"
)
# The 32-bit build (the product) has one group, on a prefix of its own that
# Wine's 64-bit loader made, so that its services run as 64-bit programs and
# only the programs under test are 32-bit ones: the Win32 tests, and the
# 64-bit build's driver starting the 32-bit .scr (see tests/CMakeLists.txt).
if grep -q '^GLIMMER_X64_DRIVER:' "$build_dir/CMakeCache.txt"; then
  groups=("x86 1024x768x24 ^(win32|e2e_x86)$ wow64 -")
  # Where qemu translates the 32-bit programs (scripts/setup_wine32.sh), the
  # saver draws a few frames a second: the end-to-end cases widen the bounds
  # that only catch slowness by this factor.
  if grep -qsx enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
    export GLIMMER_TIME_SCALE=${GLIMMER_TIME_SCALE:-4}
  fi
fi
if [ $all_sizes -eq 1 ]; then
  groups+=(
    "size-1280x1024 1280x1024x24 ^e2e_sizes$ sizes -"
    "size-2560x1440 2560x1440x24 ^e2e_sizes$ sizes -"
    "size-3840x2160 3840x2160x24 ^e2e_sizes$ sizes -"
  )
fi

# Where a shifted clock stands when the group's tests start, in ms. Past
# 2^31 (about 25 days up), where a signed reading of a time goes wrong; and
# 16 s before the wrap past 2^32 (49.7 days up): the test measures how long
# the saver takes to start (about 4 s, with its hold-back), then waits so
# that the wrap falls inside the hold-back of the next start.
uptime_target() {
  case $1 in
    past-2^31) echo $(((1 << 31) + 20000)) ;;
    wrap-in-hold-back) echo $(((1 << 32) - 16000)) ;;
  esac
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
  local name=$1 geometry=$2 filter=$3 prefix_name=$4 clock=$5 display prefix count
  count=$(tests_with_label "$filter") || count=
  if [ "${count:-0}" -eq 0 ]; then
    echo "!! Group '$name': no tests labelled '$filter' in $build_dir" >&2
    return 1
  fi
  start_display "$geometry" || { echo "!! Group '$name': no display" >&2; return 1; }
  prefix=$work/prefix-$prefix_name
  make_prefix "$prefix" || { echo "!! Group '$name': no prefix" >&2; return 1; }
  show_desktop_picture "$work/desktop-$name.png" || { echo "!! Group '$name': no desktop picture" >&2; return 1; }
  echo "== Group '$name': '$filter' tests on $geometry" >&2
  # No Wine server may be winding down in the prefix when the tests start
  # (see make_prefix): a new prefix's was ended there, and a shared one's
  # at the end of the group before; this waits until it is gone.
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix timeout 60 wineserver -w || true
  local shifted_env=()
  if [ "$clock" != - ]; then
    DISPLAY=$display WINEPREFIX=$prefix WINEDEBUG=-all \
      shift_wine_clock "$build_dir/print_tick_count.exe" "$(uptime_target "$clock")" || {
      echo "!! Group '$name': no shifted clock" >&2
      return 1
    }
    shifted_env+=(GLIMMER_UPTIME=$clock)
  fi
  local status=0
  # The group's count of cases is read from this run's log only.
  rm -f "$build_dir/Testing/Temporary/LastTest.log"
  # --no-tests=error: a group that runs nothing fails rather than passing.
  # GLIMMER_SCREEN tells the tests which screen the group asked for.
  env "${shifted_env[@]}" DISPLAY=$display WINEPREFIX=$prefix WINEDEBUG=-all \
    GLIMMER_SCREEN=$geometry \
    ctest --test-dir "$build_dir" -L "$filter" --no-tests=error --output-on-failure || status=$?
  # The frozen desktop's PSNR and any saver start that had to be repeated,
  # which ctest shows only for failing tests.
  sed -n 's/^\(PSNR of .*\|start [0-9] of .* failed: .*\|Timing on the clock .*\|The saver took .*\)/   \1/p' \
    "$build_dir/Testing/Temporary/LastTest.log" >&2 2>/dev/null || true
  # A shared prefix moves to the next group's display: its Wine processes
  # must not stay on this one.
  env "${shifted_env[@]}" WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  return $status
}

status=0
results=()
for group in "${groups[@]}"; do
  read -r name geometry filter prefix_name clock <<<"$group"
  [ -n "$only" ] && ! [[ $name =~ $only ]] && continue
  started=$SECONDS
  verdict=passed
  run_group "$name" "$geometry" "$filter" "$prefix_name" "$clock" || { verdict=FAILED; status=1; }
  results+=("$(printf '%-18s %-17s %-7s %4d s' "$name" "$geometry" $verdict $((SECONDS - started)))")
  record_group "wine $(basename "$build_dir") $name" "$(cases_ran "$build_dir")" \
    $((SECONDS - started)) $verdict
done
[ ${#results[@]} -gt 0 ] || { echo "!! No group matches '$only'" >&2; exit 1; }
echo "== Wine test groups:"
printf '   %s\n' "${results[@]}"
exit $status
