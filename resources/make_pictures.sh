#!/bin/bash
# Regenerates the pictures that glimmerwatch.rc embeds:
#   eye.jpg      400 x 400 baseline JFIF JPEG, the texture of the two eyes
#   eye.ico      window-class icon, 16/32/48/256 px, 32-bit with alpha
#   preview.bmp  152 x 112, 24-bit BMP3, painted into the control panel's
#                preview box
# Needs ImageMagick 6 (`convert`) and the DejaVu fonts. The noise is seeded,
# so a run with the same ImageMagick version gives byte-identical files;
# the committed files are the reference, rerun only to change the pictures.
#
# Usage: make_pictures.sh [output-directory]   (default: this script's dir)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=${1:-$here}
mkdir -p "$out"
out=$(cd "$out" && pwd)

command -v convert >/dev/null || { echo "make_pictures.sh: ImageMagick 'convert' not found" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Strip everything that would carry a time stamp or the tool's name, so the
# files only change when the pictures do.
clean=(-strip +set date:create +set date:modify +set date:timestamp
       -define "png:exclude-chunks=date,time,tEXt,zTXt,iTXt")

# ---------------------------------------------------------------------------
# eye.jpg
#
# The program decodes this with the system's OLE picture loader and turns
# exact black (0,0,0) into transparent texels, so everything except the very
# pupil centre stays off pure black: the black point is lifted a little at
# the end, because the darkest fibres at the limbus and JPEG ringing would
# otherwise punch pinholes into the iris. Size is kept around 12 KB: the streaks
# and fibres are soft enough that a moderate quality stays clean.
make_eye_jpg() {
    local S=400 C=200     # picture size and centre
    local RI=124 RP=42    # iris and pupil radius
    local ANG=1440        # angular resolution of the polar strips
    local RMAX=283        # centre-to-corner distance

    # Background: a strip whose x is the angle and y the radius. Columns of
    # constant value become streaks radiating from the centre once the strip
    # is wrapped round with the polar distortion. Coarse plus finer noise,
    # mapped through a pale white / pink / green palette.
    convert -size 60x1 xc:gray50 -seed 101 +noise Random -colorspace gray \
            -filter cubic -resize ${ANG}x1\! \
            \( -size 120x1 xc:gray50 -seed 102 +noise Random -colorspace gray \
               -filter cubic -resize ${ANG}x1\! \) \
            -compose blend -define compose:args=65 -composite -auto-level \
            -scale ${ANG}x${RMAX}\! "$tmp/bg_noise.png"
    convert xc:'#fbf8f5' xc:'#f7dbe1' xc:'#fdfbf9' xc:'#dcefd5' xc:'#fcf9f7' \
            xc:'#f4ccd5' xc:'#fefdfc' xc:'#d3e9ca' xc:'#faf6f3' \
            +append -filter triangle -resize 256x1\! "$tmp/bg_palette.png"
    convert "$tmp/bg_noise.png" "$tmp/bg_palette.png" -clut \
            -virtual-pixel edge -define distort:viewport=${S}x${S}+0+0 \
            -distort Polar "$RMAX,0 $C,$C" +repage -blur 0x0.8 \
            \( -size ${S}x${S} radial-gradient:'#ffffff-#d8d2d0' \) \
            -compose multiply -composite "$tmp/bg.png"

    # Iris fibres: thin radial lines (1-D noise, slightly blurred) with a slow
    # variation along each fibre so they do not look ruled.
    convert -size ${ANG}x1 xc:gray50 -seed 201 +noise Random -colorspace gray \
            -blur 0x1.6 -auto-level -scale ${ANG}x${RI}\! \
            \( -size 480x6 xc:gray50 -seed 202 +noise Random -colorspace gray \
               -filter cubic -resize ${ANG}x${RI}\! -auto-level \) \
            -compose blend -define compose:args=80 -composite -auto-level \
            "$tmp/fibres.png"
    # Radial colour of the iris, top row = centre, bottom row = limbus: dark
    # amber under the pupil, a golden collarette, green, then the dark
    # limbal ring.
    convert xc:'#4a3c14' xc:'#4a3c14' xc:'#5a4a18' xc:'#7a6a22' xc:'#a8963a' \
            xc:'#8aab48' xc:'#66a24e' xc:'#54963f' xc:'#4d8a40' xc:'#3f7838' \
            xc:'#2c5a2a' xc:'#163a1a' xc:'#0c2210' \
            -append -filter triangle -resize 1x${RI}\! -scale ${ANG}x${RI}\! \
            \( "$tmp/fibres.png" -level 10%,90% \) -compose overlay -composite \
            -alpha set -virtual-pixel transparent \
            -define distort:viewport=${S}x${S}+0+0 \
            -distort Polar "$RI,0 $C,$C" +repage "$tmp/iris.png"

    # Soft shadow round the iris that blends it into the white.
    convert -size ${S}x${S} xc:none -fill 'rgba(20,50,25,0.55)' \
            -draw "circle $C,$C $C,$((C - RI - 6))" -blur 0x4 "$tmp/halo.png"
    # Pupil: near-black, not pure black.
    convert -size ${S}x${S} xc:none -fill '#0a0c0b' \
            -draw "circle $C,$C $C,$((C - RP))" -blur 0x1.2 "$tmp/pupil.png"
    # Catch-lights: one main window reflection and a faint second one.
    convert -size ${S}x${S} xc:none \
            -fill 'rgba(255,255,255,0.9)' -draw "ellipse 176,172 13,10 0,360" \
            -fill 'rgba(255,255,255,0.6)' -draw "circle 226,230 226,225" \
            -blur 0x2 "$tmp/highlight.png"

    convert "$tmp/bg.png" "$tmp/halo.png" -composite "$tmp/iris.png" -composite \
            "$tmp/pupil.png" -composite "$tmp/highlight.png" -composite \
            +level 3%,100% -alpha off -colorspace sRGB -type TrueColor -depth 8 "${clean[@]}" \
            -interlace none -sampling-factor 2x2 -quality 36 \
            "JPEG:$out/eye.jpg"
}

# ---------------------------------------------------------------------------
# eye.ico
#
# An almond-shaped eye with the green iris of eye.jpg, drawn once at 256 px
# and reduced for the small sizes. The outline is heavy so that it still
# reads at 16 px.
make_icon() {
    local M=256
    local almond="M 10,128 C 60,40 196,40 246,128 C 196,216 60,216 10,128 Z"

    # White of the eye with a little shading under the upper lid.
    convert -size ${M}x${M} xc:none -fill white -draw "path '$almond'" \
            \( -size ${M}x${M} gradient:'#c9d3dc-#ffffff' \) \
            -compose multiply -composite "$tmp/ico_white.png"
    # The iris taken from the eye picture itself, clipped to a circle.
    convert "$out/eye.jpg" -gravity center -crop 262x262+0+0 +repage \
            -resize 142x142 -background none -gravity center -extent ${M}x${M} \
            \( -size ${M}x${M} xc:black -fill white -draw "circle 128,128 128,57" \) \
            -alpha off -compose copy_opacity -composite "$tmp/ico_iris.png"
    convert "$tmp/ico_white.png" "$tmp/ico_iris.png" -compose over -composite \
            \( -size ${M}x${M} xc:black -fill white -draw "path '$almond'" \) \
            -alpha off -compose copy_opacity -composite \
            \( -size ${M}x${M} xc:none -fill none -stroke '#1b2420' \
               -strokewidth 14 -draw "path '$almond'" \) \
            -compose over -composite "$tmp/ico_256.png"

    local s
    for s in 16 32 48; do
        convert "$tmp/ico_256.png" -filter lanczos -resize ${s}x${s} \
                "$tmp/ico_$s.png"
    done
    convert "$tmp/ico_16.png" "$tmp/ico_32.png" "$tmp/ico_48.png" \
            "$tmp/ico_256.png" -depth 8 "${clean[@]}" \
            "ICO:$out/eye.ico"
}

# ---------------------------------------------------------------------------
# preview.bmp
#
# A miniature desktop (teal background, two icons, a taskbar) with the two
# eyes in front of it and the names in red below. The control panel stretches
# it over its preview box.
make_preview() {
    local W=152 H=112
    local font=DejaVu-Sans-Bold

    # Desktop: teal with a slight top-to-bottom fall-off.
    convert -size ${W}x${H} gradient:'#168a8c-#0a6f75' "$tmp/pv_desk.png"
    # Two tiny desktop icons with label bars: a computer and a folder.
    convert "$tmp/pv_desk.png" \
            -fill '#d8d8d0' -stroke '#202020' -strokewidth 1 \
            -draw "rectangle 6,5 17,13" -fill '#3060c0' -stroke none \
            -draw "rectangle 8,7 15,11" -fill '#b0b0a8' -draw "rectangle 8,14 15,16" \
            -fill '#e8e8e8' -draw "rectangle 4,19 19,20" \
            -fill '#f0c840' -stroke '#806010' \
            -draw "rectangle 6,28 17,36" -draw "rectangle 6,26 11,28" \
            -stroke none -fill '#e8e8e8' -draw "rectangle 4,40 19,41" \
            "$tmp/pv_icons.png"
    # Taskbar with a start button and a clock well.
    convert "$tmp/pv_icons.png" \
            -fill '#c0c0c0' -draw "rectangle 0,101 151,111" \
            -fill white -draw "line 0,101 151,101" \
            -fill '#c0c0c0' -stroke '#404040' -draw "rectangle 2,103 24,109" \
            -stroke none -fill '#0a0a0a' -draw "rectangle 5,105 8,107" \
            -fill '#303030' -draw "rectangle 11,105 21,107" \
            -fill '#b0b0b0' -stroke '#808080' -draw "rectangle 126,103 149,109" \
            -stroke none -fill '#303030' -draw "rectangle 130,105 145,107" \
            "$tmp/pv_base.png"

    # One eye ball: the eye picture's centre on a disc, shaded as a sphere
    # lit from the upper left, with a dark rim and a glint.
    local D=46 R=23
    convert "$out/eye.jpg" -resize ${D}x${D}\! \
            \( -size $((D * 2))x$((D * 2)) radial-gradient:'#ffffff-#9a9aa2' \
               -gravity northwest -crop ${D}x${D}+$((D / 2 + 10))+$((D / 2 + 10)) +repage \
               -gravity center -extent ${D}x${D} \) \
            -compose multiply -composite \
            \( -size ${D}x${D} xc:black -fill white \
               -draw "circle $((R - 1)),$((R - 1)) $((R - 1)),0.5" \) \
            -alpha off -compose copy_opacity -composite \
            \( -size ${D}x${D} xc:none -fill none -stroke 'rgba(10,30,30,0.8)' \
               -draw "circle $((R - 1)),$((R - 1)) $((R - 1)),0.5" \) \
            -compose over -composite \
            \( -size ${D}x${D} xc:none -fill 'rgba(255,255,255,0.85)' \
               -draw "circle 14,13 14,10" -blur 0x1 \) \
            -compose over -composite "$tmp/pv_eye.png"

    # Soft shadows under the eyes, the eyes, and the two lines of red text
    # with a dark edge so that red stays legible on teal.
    convert "$tmp/pv_base.png" \
            \( -size ${W}x${H} xc:none -fill 'rgba(0,0,0,0.45)' \
               -draw "circle 55,34 55,12" -draw "circle 101,34 101,12" -blur 0x2 \) \
            -compose over -composite \
            "$tmp/pv_eye.png" -geometry +30+8 -composite \
            "$tmp/pv_eye.png" -geometry +76+8 -composite \
            -font "$font" -gravity north \
            -pointsize 11 -fill '#300000' -annotate +1+58 'Tessaly' \
            -fill '#f01818' -annotate +0+57 'Tessaly' \
            -pointsize 15 -fill '#300000' -annotate +1+73 'Glimmerwatch' \
            -fill '#f01818' -annotate +0+72 'Glimmerwatch' \
            -alpha off -type TrueColor -depth 8 "${clean[@]}" \
            "BMP3:$out/preview.bmp"
}

make_eye_jpg
make_icon
make_preview
echo "wrote $out/eye.jpg $out/eye.ico $out/preview.bmp"
