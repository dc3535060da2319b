#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Draws the window's background picture and the program's icons, and writes
# them into artwork/ (built into the window and the page) and artwork/icons/
# (the window's icon, and installed for the desktop menu). The results are committed, so building
# needs none of this; run it again only to change the artwork:
#
#   sudo apt-get install imagemagick icoutils   # once
#   tools/make-artwork.sh
#
# background.png   350 x 422, 32 bits per pixel; a little over half of it is
#                  the flat colour rgb(184,204,228), the rest a soft diagonal
#                  gradient with a few faint rings.
# arrow.png        7 x 4, the key list's slim drop-down arrow.
# NAME@2x.png,     the same two pictures for screens at twice and three times
# NAME@3x.png      the density, drawn again at that size from the same shapes
#                  (not enlarged), so they stay sharp; Qt picks them by name.
# kelvane.ico      48x48 32 bpp, 32x32 256 colours, 16x16 32 bpp,
#                  16x16 16 colours, 16x16 2 colours.
# artwork/icons/N.png  16, 32, 48, 64, 128 and 256 pixels square.
# artwork/icons/kelvane.svg  the same icon as a scalable drawing.
set -euo pipefail
cd "$(dirname "$0")/.."
out=artwork
icons=artwork/icons
mkdir -p "$out" "$icons"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ImageMagick 6 is "convert", 7 is "magick".
im=convert
command -v convert >/dev/null || im=magick

flat='rgb(184,204,228)'

# Every shape is given in the coordinates of the 1x picture; at scale S a
# position x becomes S*x + (S-1)/2, so that a shape stays centred on the
# same spot of the enlarged pixel grid, and a length becomes S times as long.
pos() { awk -v s="$scale" -v v="$1" 'BEGIN { printf "%g", s * v + (s - 1) / 2 }'; }
len() { awk -v s="$scale" -v v="$1" 'BEGIN { printf "%g", s * v }'; }
pt() { echo "$(pos "$1"),$(pos "$2")"; }
circle() { echo "circle $(pt "$1" "$2") $(pt "$1" "$(($2 - $3))")"; }

for scale in 1 2 3; do
    suffix=""
    [ "$scale" -gt 1 ] && suffix="@${scale}x"
    w=$((350 * scale))
    h=$((422 * scale))

    # --- background -------------------------------------------------------
    # The lower right triangle (half the picture) carries a gradient that
    # starts at the flat colour on the diagonal and lightens towards the
    # corner; the rings are clipped to the same triangle so the upper left
    # stays flat.
    $im -size ${w}x${h} "xc:$flat" "$work/flat.png"
    $im -size ${h}x${w} 'gradient:rgb(236,242,250)-rgb(184,204,228)' -rotate 90 \
        "$work/ramp.png"
    $im -size ${w}x${h} xc:none -fill none -stroke 'rgba(255,255,255,0.35)' \
        -strokewidth "$(len 2)" \
        -draw "$(circle 300 380 150)" -draw "$(circle 300 380 100)" \
        -draw "$(circle 300 380 50)" -stroke 'rgba(120,150,190,0.25)' \
        -draw "$(circle 300 380 175)" "$work/rings.png"
    $im "$work/ramp.png" "$work/rings.png" -composite "$work/decor.png"
    $im -size ${w}x${h} xc:black -fill white \
        -draw "polygon $(pt 350 0) $(pt 350 422) $(pt 0 422)" "$work/mask.png"
    $im "$work/flat.png" "$work/decor.png" "$work/mask.png" -composite \
        -alpha opaque -define png:color-type=6 -define png:bit-depth=8 \
        "PNG32:$out/background$suffix.png"

    # --- drop-down arrow --------------------------------------------------
    # A triangle from corner to corner of its box: its top row is solid and
    # its tip one pixel wide at every scale.
    right=$((7 * scale - 1))
    bottom=$((4 * scale - 1))
    tip=$(awk -v r="$right" 'BEGIN { printf "%g", r / 2 }')
    $im -size $((7 * scale))x$((4 * scale)) xc:none -fill 'rgb(20,30,45)' \
        -draw "polygon 0,0 $right,0 $tip,$bottom" "PNG32:$out/arrow$suffix.png"
done

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

# The scalable icon: the same tile and keyhole as the bitmaps above.
cat > "$icons/kelvane.svg" <<'SVG'
<?xml version="1.0" encoding="UTF-8"?>
<!-- SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors -->
<!-- SPDX-License-Identifier: GPL-3.0-or-later -->
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <title>Kelvane Encryptor</title>
  <defs>
    <linearGradient id="tile" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="rgb(96,140,204)"/>
      <stop offset="1" stop-color="rgb(34,64,124)"/>
    </linearGradient>
  </defs>
  <rect x="8" y="8" width="240" height="240" rx="44" fill="url(#tile)"/>
  <rect x="14" y="14" width="228" height="228" rx="38" fill="none"
        stroke="rgb(255,255,255)" stroke-opacity="0.45" stroke-width="6"/>
  <circle cx="128.5" cy="100.5" r="42" fill="rgb(255,255,255)"/>
  <polygon points="104.5,120.5 152.5,120.5 172.5,204.5 84.5,204.5" fill="rgb(255,255,255)"/>
</svg>
SVG

icotool -c -o "$out/kelvane.ico" \
    "$work/i48.png" "$work/p32.png" "$work/i16.png" "$work/p16.png" "$work/m16.png"
icotool -l "$out/kelvane.ico"
