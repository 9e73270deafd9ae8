#!/usr/bin/env bash
# Checks that the screenshots of a headless ./run.sh show what their names
# say, with the measures the scene tests (tests/e2e/scene_shots.h) use:
#   1-frozen-desktop.png  the sample desktop (desktop.png) pixel for pixel,
#                         apart from the clock and the FPS counter, which
#                         are there: red at the bottom left, green at the
#                         top left;
#   2-eyes.png            against the frozen shot: a blob of clearly
#                         changed pixels in the middle, nothing else changed;
#   3-eyes-gone.png       the sample desktop again, as the first shot.
# Usage: scripts/check_run_shots.sh [shots-dir]   (default build/run-shots)
set -euo pipefail
dir=${1:-$(dirname "$0")/../build/run-shots}
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

for name in desktop 1-frozen-desktop 2-eyes 3-eyes-gone; do
  [ -f "$dir/$name.png" ] || { echo "FAIL: $dir/$name.png missing" >&2; exit 1; }
done
read -r w h < <(identify -format '%w %h\n' "$dir/desktop.png")
for name in 1-frozen-desktop 2-eyes 3-eyes-gone; do
  [ "$(identify -format '%wx%h' "$dir/$name.png")" = "${w}x$h" ] ||
    fail "$name.png is not ${w}x$h like the desktop"
done
[ $failures -eq 0 ] || exit 1

# Regions as ImageMagick geometries; the same corners the scene tests use.
fps_corner=420x40+0+0
clock_corner=420x45+0+$((h - 45))
middle=600x300+$((w / 2 - 300))+$((h / 2 - 150))

# Pixels of A and B whose channel differences add up to more than LIMIT
# (0..765): within REGION when given, else over the whole picture minus the
# two overlay corners. The scene tests call 60 "clearly changed".
differing() {
  local a=$1 b=$2 limit=$3 region=${4:-}
  local threshold
  threshold=$(awk -v l="$limit" 'BEGIN { printf "%.4f%%", (l + 0.5) * 100 / 255 }')
  local select=(-fill black -draw "rectangle 0,0 419,39" -draw "rectangle 0,$((h - 45)) 419,$((h - 1))")
  [ -n "$region" ] && select=(-crop "$region" +repage)
  convert "$a" "$b" -alpha off -compose difference -composite -separate \
    -evaluate-sequence add -threshold "$threshold" "${select[@]}" \
    -format '%[fx:round(mean*w*h)]' info:
}

# The scene tests' colours, as ImageMagick expressions over image I (u or v).
is_red() { echo "$1.r*255>170 && $1.g*255<90 && $1.b*255<90"; }
is_green() { echo "$1.g*255>170 && $1.r*255<90 && $1.b*255<90"; }

# Pixels in REGION that have the colour (is_red, is_green) in SHOT but not
# in DESKTOP.
new_colour() {
  local shot=$1 desktop=$2 region=$3 colour=$4
  convert "$shot" "$desktop" -alpha off -crop "$region" +repage \
    -fx "($($colour u)) && !($($colour v))" -format '%[fx:round(mean*w*h)]' info:
}

psnr() {
  compare -metric PSNR "$1" "$2" null: 2>&1 || true
}

check_desktop() {
  local name=$1 shot=$dir/$1.png count
  count=$(differing "$shot" "$dir/desktop.png" 0)
  echo "$name: $count pixels differ from desktop.png outside the overlay corners (PSNR $(psnr "$shot" "$dir/desktop.png") dB overall)"
  [ "$count" -eq 0 ] || fail "$name: not the desktop outside the overlay corners"
  count=$(new_colour "$shot" "$dir/desktop.png" "$clock_corner" is_red)
  echo "$name: $count new red pixels in the clock corner"
  [ "$count" -gt 300 ] || fail "$name: no clock"
  count=$(new_colour "$shot" "$dir/desktop.png" "$fps_corner" is_green)
  echo "$name: $count new green pixels in the FPS corner"
  [ "$count" -gt 200 ] || fail "$name: no FPS counter"
}

check_desktop 1-frozen-desktop

eyes=$dir/2-eyes.png frozen=$dir/1-frozen-desktop.png
inside=$(differing "$eyes" "$frozen" 60 "$middle")
outside=$(differing "$eyes" "$frozen" 60)
echo "2-eyes: $inside pixels clearly changed in the middle, $((outside - inside)) elsewhere outside the overlay corners"
[ "$inside" -gt 5000 ] || fail "2-eyes: no eyes in the middle of the screen"
[ "$outside" -eq "$inside" ] || fail "2-eyes: pixels changed outside the middle"

check_desktop 3-eyes-gone

[ $failures -eq 0 ] || { echo "$failures check(s) failed on the screenshots in $dir" >&2; exit 1; }
echo "The run.sh screenshots show the frozen desktop, the eyes, and the eyes gone."
