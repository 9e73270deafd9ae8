#!/usr/bin/env bash
# Builds everything and runs every test: native unit tests (plain and under
# the address and undefined-behaviour sanitizers), the checks of both .scr
# files, the Wine tests of the 64-bit build (Win32 API tests, the resource
# check and end-to-end runs of the real .scr on private X displays), and
# those of the 32-bit build, the product, under Wine's 32-bit half.
set -euo pipefail
cd "$(dirname "$0")"
jobs=$(nproc)

# Everything is installed before anything is built or run: installing Wine's
# 32-bit half upgrades amd64 packages it shares with the 64-bit half (Mesa
# among them), which must not change under a running test.
scripts/install_deps.sh
# Wine's 32-bit half, which scripts/setup_wine32.sh installs (with qemu
# where the processor cannot run 32-bit code), for the 32-bit build's tests.
# Where that cannot be done their group is skipped, loudly;
# GLIMMER_REQUIRE_32BIT=1 (CI) makes that a failure, at once.
wine32_ready=1
if ! scripts/setup_wine32.sh; then
  wine32_ready=0
  echo "!! Wine's 32-bit half could not be set up: the 32-bit build's Wine tests will NOT run." >&2
  [ "${GLIMMER_REQUIRE_32BIT:-0}" = 1 ] && exit 1
fi

echo "== Native unit tests"
cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs"
ctest --preset host

echo "== Native unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# The same tests built with both sanitizers: a read past a buffer or an
# overflowing shift in the pure logic stops the run instead of passing by luck.
cmake --preset host-asan >/dev/null
cmake --build --preset host-asan -j "$jobs"
ctest --preset host-asan

for preset in win32 win64; do
  echo "== Building $preset"
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j "$jobs"
  ctest --test-dir build/$preset -L '^pe$' --output-on-failure
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
tests/installer/test_installer.sh build/win32 build/win64
echo "== All tests passed"
