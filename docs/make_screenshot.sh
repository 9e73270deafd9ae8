#!/usr/bin/env bash
# Makes docs/screenshot.png, the README's picture: the running saver over a
# 1920x1080 desktop with a wallpaper, Wine's Notepad holding a few typed
# lines, Wine's file browser and the saver's own settings dialog, with the
# eyes, the red clock and the green FPS counter showing. The saver freezes
# what the screen shows when it starts, so the windows open and paint first.
#
# Everything runs on a private virtual display (Xvfb) with a private Wine
# prefix, both removed at the end; nothing of the user's own display or
# prefix is touched. Usage: docs/make_screenshot.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/docs/screenshot.png
width=1920
height=1080
max_bytes=1500000

scripts/install_deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target Glimmerwatch
scr=$root/build/win64/Glimmerwatch.scr

work=$(mktemp -d)
# shellcheck source=SCRIPTDIR/../scripts/private_display.sh
source "$root/scripts/private_display.sh"
# shellcheck source=SCRIPTDIR/../scripts/first_settings.sh
source "$root/scripts/first_settings.sh"
start_display "${width}x${height}x24"
export DISPLAY=$display
export WINEPREFIX=$work/prefix-shot
export WINEDEBUG=-all
echo "== Private display $DISPLAY (${width}x${height}), prefix $WINEPREFIX"
make_prefix "$WINEPREFIX" 'Show Time=1' 'Show FPS=1'
reg() { "$wine64_loader" reg add "$@" /f >/dev/null 2>&1; }
# Notepad opens where its last session left it.
np='HKCU\Software\Microsoft\Notepad'
reg "$np" /v iWindowPosX /t REG_DWORD /d 1130
reg "$np" /v iWindowPosY /t REG_DWORD /d 60
reg "$np" /v iWindowPosDX /t REG_DWORD /d 700
reg "$np" /v iWindowPosDY /t REG_DWORD /d 360
reg "$np" /v iPointSize /t REG_DWORD /d 110

# Wallpaper: a diagonal blue-teal gradient with soft light circles and two
# faint waves, drawn small and scaled up so it stays smooth. Fixed seed and
# coordinates: the same picture every time. Not the tests' sample desktop
# (scripts/desktop_picture.sh): that is a test card made to show any pixel
# a copy gets wrong; here its rows of text and its grid lines would read as
# part of the saver, and its noise alone (1.58 MB as PNG at this size) is
# over the screenshot's size limit, which would scale the shot down.
wall=$work/wallpaper.png
small=480x270
draw=""
RANDOM=7
for _ in $(seq 18); do
  x=$((RANDOM % 480)) y=$((RANDOM % 270)) r=$((10 + RANDOM % 34)) a=$((3 + RANDOM % 7))
  draw+=" fill rgba(255,255,255,0.0$a) circle $x,$y $((x + r)),$y"
done
convert -size $small -define gradient:angle=135 gradient:'#14325c-#2f8f9d' \
  -draw "$draw" -blur 0x4 \
  \( -size $small xc:none -fill none -strokewidth 5 \
     -stroke 'rgba(255,255,255,0.12)' -draw "path 'M -20,200 C 120,120 300,280 520,150'" \
     -stroke 'rgba(255,255,255,0.08)' -draw "path 'M -20,232 C 140,160 300,300 520,190'" \
     -blur 0x3 \) -composite \
  -resize "${width}x${height}!" -depth 8 "$wall"
# display exits with 1 after drawing into the root window.
display -window root "$wall" || true

# Waits until a window whose name matches $1 is mapped; prints its X id.
window_named() {
  local id
  for _ in $(seq 150); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  echo "No window named '$1' appeared" >&2
  return 1
}

echo "== Notepad"
"$wine64_loader" notepad >/dev/null 2>&1 &
notepad=$(window_named 'Notepad$')
sleep 1
xdotool windowmove --sync "$notepad" 1130 60 || true
# A click into the text area gives it the keyboard.
eval "$(xdotool getwindowgeometry --shell "$notepad")"
xdotool mousemove $((X + 200)) $((Y + 200)) click 1
sleep 0.3
for line in \
  "Shopping list for Saturday" \
  "" \
  "- coffee beans, oat milk" \
  "- batteries for the kitchen clock" \
  "- birthday card for Mira" \
  "" \
  "Call the garage about the winter tyres."; do
  [ -n "$line" ] && xdotool type --delay 15 -- "$line"
  xdotool key Return
done

echo "== Explorer"
"$wine64_loader" explorer 'C:\users\Public' >/dev/null 2>&1 &
explorer=$(window_named 'Public$')
sleep 1
xdotool windowmove --sync "$explorer" 1262 590 || true

echo "== Settings dialog"
"$wine64_loader" "$scr" /c >/dev/null 2>&1 &
settings=$(window_named '^Settings$')
sleep 1
xdotool windowmove --sync "$settings" 300 250 || true

# Park the pointer away from the windows and let everything paint.
xdotool mousemove 960 1000
sleep 2

echo "== Saver"
"$wine64_loader" "$scr" /s >/dev/null 2>&1 &
saver=$!
# Its first frame comes about 3 s after the start.
sleep 5
# The eyes show for a second after each move and turn a degree for every
# ten pixels of the pointer's position; they face the viewer near 660,400.
for x in 1060 960 860 760 660; do
  xdotool mousemove "$x" 400
  sleep 0.08
done
shot=$work/shot.png
import -window root "$shot"
xdotool key Escape
wait "$saver" || echo "Saver ended with $?" >&2

# Keep the full size when it is small enough, otherwise 1280 px wide.
convert "$shot" -strip -define png:compression-level=9 "$out"
if [ "$(stat -c %s "$out")" -gt $max_bytes ]; then
  convert "$shot" -strip -filter Lanczos -resize 1280x -unsharp 0x0.6+0.6+0 \
    -define png:compression-level=9 "$out"
fi
echo "== Wrote $out: $(identify -format '%wx%h' "$out"), $(stat -c %s "$out") bytes"
