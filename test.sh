#!/usr/bin/env bash
# Builds everything and runs every test: native unit tests (plain and under
# the address and undefined-behaviour sanitizers), the checks of both .scr
# files, the Wine tests of the 64-bit build (Win32 API tests, the resource
# check and end-to-end runs of the real .scr on private X displays), and
# those of the 32-bit build, the product, under Wine's 32-bit half.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc)

# Where the time goes: every group's tests and seconds, as a table at the
# end (also when a group fails) and in build/test-times.txt; the Wine test
# script adds a line for each of its groups.
source scripts/test_times.sh
mkdir -p build
export GLIMMER_TEST_TIMES=$PWD/build/test-times.txt
: >"$GLIMMER_TEST_TIMES"
trap 'echo "== Test groups:"; print_group_times' EXIT

# timed NAME BUILD_DIR COMMAND...: runs one group and records it.
timed() {
  local name=$1 dir=$2 started=$SECONDS status=0
  shift 2
  "$@" || status=$?
  record_group "$name" "$(cases_ran "$dir")" $((SECONDS - started)) \
    "$([ $status -eq 0 ] && echo passed || echo FAILED)"
  return $status
}

# Everything is installed before anything is built or run: installing Wine's
# 32-bit half upgrades amd64 packages it shares with the 64-bit half (Mesa
# among them), which must not change under a running test.
timed "install packages" - scripts/install_deps.sh
# Wine's 32-bit half, which scripts/setup_wine32.sh installs (with qemu
# where the processor cannot run 32-bit code), for the 32-bit build's tests.
# Where that cannot be done their group is skipped, loudly;
# GLIMMER_REQUIRE_32BIT=1 (CI) makes that a failure, at once.
wine32_ready=1
if ! timed "Wine 32-bit set-up" - scripts/setup_wine32.sh; then
  wine32_ready=0
  echo "!! Wine's 32-bit half could not be set up: the 32-bit build's Wine tests will NOT run." >&2
  [ "${GLIMMER_REQUIRE_32BIT:-0}" = 1 ] && exit 1
fi

# Chained with &&: inside `timed` a failing step does not end the script
# (set -e does not apply to a command whose status is tested).
native_tests() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs" && ctest --preset "$1"
}

build_and_check_pe() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs" &&
    ctest --test-dir "build/$1" -L '^pe$' --output-on-failure
}

echo "== Native unit tests"
timed "unit (native)" build/host native_tests host

echo "== Native unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# The same tests built with both sanitizers: a read past a buffer or an
# overflowing shift in the pure logic stops the run instead of passing by luck.
timed "unit (ASan, UBSan)" build/host-asan native_tests host-asan

for preset in win32 win64; do
  echo "== Building $preset"
  timed "build $preset, PE checks" "build/$preset" build_and_check_pe $preset
done

echo "== Wine tests"
tests/run_wine_tests.sh build/win64

echo "== Wine tests of the 32-bit build"
# Its Win32 tests and a few end-to-end runs of the 32-bit .scr, under Wine's
# 32-bit half (set up at the start).
if [ $wine32_ready = 1 ]; then
  tests/run_wine_tests.sh build/win32
else
  echo "!! The 32-bit build's Wine tests did NOT run: Wine's 32-bit half could not be set up." >&2
fi

echo "== Installer tests"
# Builds both installers from the two builds above and runs the 64-bit one.
installer_started=$SECONDS
installer_status=0
tests/installer/test_installer.sh build/win32 build/win64 | tee build/installer-tests.log ||
  installer_status=$?
record_group installers "$(grep -c '^-- ' build/installer-tests.log)" \
  $((SECONDS - installer_started)) "$([ $installer_status -eq 0 ] && echo passed || echo FAILED)"
[ $installer_status -eq 0 ]
echo "== All tests passed"
