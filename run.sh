#!/usr/bin/env bash
# Builds the 64-bit saver and runs it under Wine.
#  - With an X display (DISPLAY set and reachable): the saver runs full-screen
#    there; press Escape to end it.
#  - Without one: it runs on a private virtual display over a sample desktop
#    picture; the script moves the mouse, saves screenshots and prints their
#    paths.
# Settings come from a Wine prefix of this checkout (build/run-prefix), made
# on first use with the installer's first values and the clock and FPS
# counter switched on. Pass other switches to try other modes: ./run.sh /c
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
switch=${1:-/s}

scripts/install_deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target Glimmerwatch

export WINEDEBUG=-all
export WINEPREFIX=$root/build/run-prefix
work=$(mktemp -d /tmp/glimmerwatch-run.XXXXXX)
source scripts/private_display.sh
source scripts/first_settings.sh
source scripts/desktop_picture.sh

private_display=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  display=$DISPLAY
else
  private_display=1
  start_display 1024x768x24
  echo "== Private display $display (1024x768)"
fi
export DISPLAY=$display

# Made once: later runs keep what the settings dialog (./run.sh /c) stored.
make_prefix "$WINEPREFIX" 'Show Time=1' 'Show FPS=1'

scr=$root/build/win64/Glimmerwatch.scr
if [ $private_display -eq 0 ]; then
  echo "== Running Glimmerwatch $switch on $DISPLAY (Escape ends it)"
  status=0
  "$wine64_loader" "$scr" "$switch" || status=$?
  echo "== Exit code $status"
  exit $status
fi

shots=$root/build/run-shots
mkdir -p "$shots"
rm -f "$shots"/[0-9]*.png
# The tests' desktop picture, kept beside the shots: scripts/check_run_shots.sh
# compares them with it pixel for pixel.
show_desktop_picture "$shots/desktop.png"

# Waits until the screen differs from the desktop picture (the saver's first
# frame, with its clock and counter), for at most $2 seconds, or until the
# saver has ended. The first frame comes a few seconds after the window,
# later in a new prefix, where Wine does its one-time work first.
wait_for_first_frame() {
  local saver=$1 deadline=$((SECONDS + $2)) differing
  while [ $SECONDS -lt $deadline ] && kill -0 "$saver" 2>/dev/null; do
    import -window root "$work/poll.png"
    differing=$(compare -metric AE -fuzz 10% "$work/poll.png" "$shots/desktop.png" null: 2>&1 || true)
    [ "${differing%%.*}" -gt 100 ] 2>/dev/null && return 0
    sleep 0.5
  done
  return 1
}

echo "== Running Glimmerwatch $switch on the private display"
"$wine64_loader" "$scr" "$switch" &
saver=$!
if wait_for_first_frame $saver 60; then
  sleep 1
else
  echo "== The screen did not change within 60 s (clock and counter off?)"
fi
import -window root "$shots/1-frozen-desktop.png"
for x in 300 420 540 660; do xdotool mousemove $x 400; sleep 0.1; done
import -window root "$shots/2-eyes.png"
sleep 1.6
import -window root "$shots/3-eyes-gone.png"
xdotool key Escape
status=0
wait $saver || status=$?
echo "== Exit code $status. Screenshots:"
ls -1 "$shots"/[0-9]*.png
exit $status
