#!/usr/bin/env bash
# Draws the window's background picture and the program's icons, and writes
# them into ui/resources/ (built into the program) and app/icons/ (installed
# for the desktop menu). The results are committed, so building
# needs none of this; run it again only to change the artwork:
#
#   sudo apt-get install imagemagick icoutils   # once
#   tools/make-artwork.sh
#
# background.png   350 x 422, 32 bits per pixel; a little over half of it is
#                  the flat colour rgb(184,204,228), the rest a soft diagonal
#                  gradient with a few faint rings.
# arrow.png        7 x 4, the key list's slim drop-down arrow.
# kelvane.ico      48x48 32 bpp, 32x32 256 colours, 16x16 32 bpp,
#                  16x16 16 colours, 16x16 2 colours.
# app/icons/N.png  16, 32, 48, 64, 128 and 256 pixels square.
set -euo pipefail
cd "$(dirname "$0")/.."
out=ui/resources
icons=app/icons
mkdir -p "$out" "$icons"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ImageMagick 6 is "convert", 7 is "magick".
im=convert
command -v convert >/dev/null || im=magick

flat='rgb(184,204,228)'

# --- background -----------------------------------------------------------
# The lower right triangle (half the picture) carries a gradient that starts
# at the flat colour on the diagonal and lightens towards the corner; the
# rings are clipped to the same triangle so the upper left stays flat.
$im -size 350x422 "xc:$flat" "$work/flat.png"
$im -size 422x350 'gradient:rgb(236,242,250)-rgb(184,204,228)' -rotate 90 \
    "$work/ramp.png"
$im -size 350x422 xc:none -fill none -stroke 'rgba(255,255,255,0.35)' -strokewidth 2 \
    -draw 'circle 300,380 300,230' -draw 'circle 300,380 300,280' \
    -draw 'circle 300,380 300,330' -stroke 'rgba(120,150,190,0.25)' \
    -draw 'circle 300,380 300,205' "$work/rings.png"
$im "$work/ramp.png" "$work/rings.png" -composite "$work/decor.png"
$im -size 350x422 xc:black -fill white -draw 'polygon 350,0 350,422 0,422' \
    "$work/mask.png"
$im "$work/flat.png" "$work/decor.png" "$work/mask.png" -composite \
    -alpha opaque -define png:color-type=6 -define png:bit-depth=8 \
    "PNG32:$out/background.png"

# --- drop-down arrow ------------------------------------------------------
$im -size 7x4 xc:none -fill 'rgb(20,30,45)' -draw 'polygon 0,0 6,0 3,3' \
    "PNG32:$out/arrow.png"

# --- icon -----------------------------------------------------------------
# A blue rounded tile with a white keyhole, drawn once at 256 pixels and
# scaled down for every size.
$im -size 256x256 xc:none \
    \( -size 256x256 'gradient:rgb(96,140,204)-rgb(34,64,124)' \) \
    \( -size 256x256 xc:black -fill white -draw 'roundrectangle 8,8 247,247 44,44' \) \
    -delete 0 -alpha off -compose CopyOpacity -composite \
    -compose Over -fill none -stroke 'rgba(255,255,255,0.45)' -strokewidth 6 \
    -draw 'roundrectangle 14,14 241,241 38,38' \
    -fill white -stroke none -draw 'circle 128,100 128,58' \
    -draw 'polygon 104,120 152,120 172,204 84,204' \
    "$work/master.png"

for n in 16 32 48 64 128 256; do
    $im "$work/master.png" -filter Lanczos -resize ${n}x${n} \
        -define png:color-type=6 "PNG32:$icons/$n.png"
done

$im "$work/master.png" -resize 48x48 "PNG32:$work/i48.png"
$im "$work/master.png" -resize 16x16 "PNG32:$work/i16.png"
# Palette images: alpha becomes the icon's on/off mask, so it is cut at 50%
# before the colours are reduced.
$im "$work/master.png" -resize 32x32 -channel A -threshold 50% +channel \
    -background white -alpha background +dither -colors 255 "PNG8:$work/p32.png"
$im "$work/master.png" -resize 16x16 -channel A -threshold 50% +channel \
    -background white -alpha background +dither -colors 15 "PNG8:$work/p16.png"
$im "$work/master.png" -resize 16x16 -channel A -threshold 50% +channel \
    -background white -alpha background -colorspace gray -threshold 60% \
    "PNG8:$work/m16.png"

icotool -c -o "$out/kelvane.ico" \
    "$work/i48.png" "$work/p32.png" "$work/i16.png" "$work/p16.png" "$work/m16.png"
icotool -l "$out/kelvane.ico"
