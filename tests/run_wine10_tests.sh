#!/usr/bin/env bash
# Runs the main Wine test group (Win32 tests and the end-to-end tests of the
# 1024x768 screen, ctest labels win32 and e2e) of a build under Wine 10 from
# the chroot of scripts/wine10_chroot.sh: the 32-bit build, which the
# host's Wine 8 cannot run. tests/run_wine_tests.sh does the work with the
# chroot's wine, wineserver and wineboot first in PATH, and the build's test
# commands name the chroot's wine (the win32 preset sets WINE_PROGRAM).
# Usage: tests/run_wine10_tests.sh [build-dir]   (build/win32 by default)
#
# Wine 10 runs a 32-bit program by switching the CPU into 32-bit mode inside
# its 64-bit process. A machine whose kernel or hypervisor offers no 32-bit
# code segment cannot do that under any Wine; there this script says so,
# runs nothing and exits 0, unless GLIMMER_REQUIRE_32BIT=1 makes that a
# failure.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${1:-$source_dir/build/win32}" && pwd)
wine10=$source_dir/scripts/wine10

# The tests run under the emulator the build was configured with; a build
# that would run them under the host's Wine must not pass for a Wine 10 run.
emulator=$(sed -n 's/^WINE_PROGRAM:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
if [ "$emulator" != "$wine10/wine" ]; then
  echo "!! $build_dir runs its tests with '$emulator', not $wine10/wine" >&2
  exit 1
fi

# The probe first: where no Wine can run 32-bit code, the chroot (minutes
# of downloads) would be made for nothing.
probe=$build_dir/probe_32bit_code
cc -O2 -o "$probe" "$source_dir/tests/probe_32bit_code.c"
if ! why=$("$probe" 2>&1); then
  echo "!! The 32-bit build's Wine tests did NOT run: this machine cannot execute" >&2
  echo "!! 32-bit x86 code ($why)." >&2
  [ "${GLIMMER_REQUIRE_32BIT:-0}" = 1 ] && exit 1
  exit 0
fi

"$source_dir/scripts/wine10_chroot.sh" check
"$source_dir/scripts/wine10_chroot.sh" make

PATH="$wine10:$PATH" exec "$source_dir/tests/run_wine_tests.sh" --only '^main$' "$build_dir"
