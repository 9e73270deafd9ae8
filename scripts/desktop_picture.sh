# Sourced by the scripts that put a known desktop on a private X display:
# run.sh, bench.sh and tests/run_wine_tests.sh.
#
#   make_desktop_picture WIDTHxHEIGHT FILE
#       writes the sample desktop picture at that size
#   show_desktop_picture FILE
#       writes it at the size of the X display in `display` (all its
#       monitors together) and puts it on that display's root window, which
#       is what Windows programs under Wine see as the desktop
#
# The picture is the smooth plasma the tests always had, plus what a copy
# that is scaled, shifted or filtered by even one pixel cannot keep: six
# rows of 11-point text twice (black at the top left, white at the bottom
# right), a one-pixel white and black line pair across the whole screen each
# way, and two 96-pixel patches of a one-pixel checker (top right, and
# beside the middle). It is written with 8 bits a channel and no alpha, as
# the screen holds it, so a capture of the frozen desktop can be compared
# with the file pixel for pixel. The seed is fixed: the same size gives the
# same picture every time.

make_desktop_picture() {
  local size=$1 file=$2 w h i y
  [[ $size =~ ^([0-9]+)x([0-9]+)$ ]] || { echo "make_desktop_picture: bad size '$size'" >&2; return 1; }
  w=${BASH_REMATCH[1]}
  h=${BASH_REMATCH[2]}
  local rows=(
    "Glimmerwatch 1.0  0123456789  The quick brown fox jumps over the lazy dog."
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz ,.;:!?()[]{}<>/|"
    "Il1| O0o 8B rn m vv w ii ll  ### ... ,,, --- ___ === +++ *** %%% @@@"
    "Small text: every stem one or two pixels wide, every dot a single pixel."
    "Pack my box with five dozen liquor jugs. Sphinx of black quartz, judge my vow."
    "1366x768 1920x1080 1080x1920 2560x1440 3840x2160 1024x768x16 768x1024"
  )
  local text=()
  for i in "${!rows[@]}"; do
    y=$((170 + 15 * i))
    text+=(-fill black -draw "text 40,$y '${rows[$i]}'")
    y=$((h - 160 + 15 * i))
    text+=(-fill white -draw "text $((w - 560)),$y '${rows[$i]}'")
  done
  local across=$((h * 2 / 5)) down=$((w / 4))
  # The font is named by its file: without Ghostscript's fonts ImageMagick's
  # default font (helvetica) cannot be read and the text draw fails.
  convert -size "${w}x$h" -seed 7 plasma:fractal -blur 0x2 \
    -fill white -stroke black -draw "rectangle 40,40 240,140" \
    -fill '#204080' -draw "circle 700,500 760,560" -stroke none \
    -font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf -pointsize 11 "${text[@]}" \
    +antialias \
    -fill white -draw "rectangle 0,$across $((w - 1)),$across" \
    -fill black -draw "rectangle 0,$((across + 2)) $((w - 1)),$((across + 2))" \
    -fill white -draw "rectangle $down,0 $down,$((h - 1))" \
    -fill black -draw "rectangle $((down + 2)),0 $((down + 2)),$((h - 1))" \
    \( -size 96x96 pattern:gray50 \) -geometry +$((w - 136))+40 -composite \
    \( -size 96x96 pattern:gray50 \) -geometry +$((w / 2 + 40))+$((h / 2 + 40)) -composite \
    -alpha off -depth 8 "$file"
}

show_desktop_picture() {
  local file=$1 size
  # The first screen's size: with Xinerama that is all monitors together.
  # awk reads to the end: under pipefail an early exit would fail xdpyinfo.
  size=$(DISPLAY=$display xdpyinfo | awk '/dimensions:/ && !n++ {print $2}')
  [ -n "$size" ] || { echo "show_desktop_picture: no size for display '$display'" >&2; return 1; }
  make_desktop_picture "$size" "$file" || return 1
  # display exits with 1 after drawing into the root window; the picture is
  # there all the same.
  DISPLAY=$display display -window root "$file" || true
}
