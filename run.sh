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
xvfb_pid=
cleanup() {
  set +e
  wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

private_display=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  private_display=1
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -noreset -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$display_file")"
  rm -f "$display_file"
  echo "== Private display $DISPLAY (1024x768)"
fi

if [ ! -d "$WINEPREFIX" ]; then
  echo "== Making a Wine prefix in $WINEPREFIX (once)"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi
wine reg query 'HKCU\Software\Tessaly\Glimmerwatch' >/dev/null 2>&1 || {
  wine reg add 'HKCU\Software\Tessaly\Glimmerwatch' /v Resolution /d 'Current resolution' /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Tessaly\Glimmerwatch' /v 'Show Time' /d 1 /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Tessaly\Glimmerwatch' /v 'Show FPS' /d 1 /f >/dev/null 2>&1
}

scr=$root/build/win64/Glimmerwatch.scr
if [ $private_display -eq 0 ]; then
  echo "== Running Glimmerwatch $switch on $DISPLAY (Escape ends it)"
  status=0
  wine "$scr" "$switch" || status=$?
  echo "== Exit code $status"
  exit $status
fi

shots=$root/build/run-shots
mkdir -p "$shots"
# The font is named by its file: without Ghostscript's fonts ImageMagick's
# default font (helvetica) cannot be read and the text draw fails.
convert -size 1024x768 -seed 11 plasma:fractal -blur 0x2 \
  -fill '#ffffffc0' -draw "roundrectangle 60,60 420,220 12,12" \
  -font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf \
  -fill black -pointsize 28 -draw "text 90,150 'A frozen desktop'" "$shots/desktop.png"
# display exits with 1 after drawing into the root window.
display -window root "$shots/desktop.png" || true
echo "== Running Glimmerwatch $switch on the private display"
wine "$scr" "$switch" &
saver=$!
sleep 6
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
