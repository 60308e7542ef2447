#!/usr/bin/env bash
# Regenerates the icon and the placeholder splash picture with ImageMagick.
# The outputs are committed; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"

# Icon: a turf-green disc with a white track oval, at 16, 32 and 48 pixels.
for size in 16 32 48; do
  convert -size 256x256 xc:none \
    -fill '#1f6b3a' -draw 'circle 128,128 128,8' \
    -stroke white -strokewidth 22 -fill none -draw 'ellipse 128,128 84,56 0,360' \
    -stroke '#e8c547' -strokewidth 14 -draw 'line 128,40 128,96' \
    -resize ${size}x${size} "/tmp/tq-icon-$size.png"
done
convert /tmp/tq-icon-16.png /tmp/tq-icon-32.png /tmp/tq-icon-48.png app.ico
rm -f /tmp/tq-icon-16.png /tmp/tq-icon-32.png /tmp/tq-icon-48.png

# Splash picture, 500 x 396 with alpha, in three regions:
#   rows   0-347  window background (500 x 348)
#   rows 348-371  progress track strip, x 0-459 (its right 50 pixels sit under the
#                 white percentage text, so they are dark)
#   rows 372-395  progress fill strip, x 0-397 (light enough for black text)
# Everything else in the bottom 48 rows stays transparent.
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# Background: dusk sky over a floodlit turf course, rails sweeping into the
# home straight, the suite's name on the left and a panel for the two bars.
convert -size 500x348 gradient:'#0b1d36-#35577a' \
  \( -size 500x170 gradient:'#2f7a3e-#123d20' \) -geometry +0+178 -composite \
  -fill '#f4e9b0' -draw 'circle 430,46 430,30' \
  -fill 'rgba(255,244,200,0.18)' -draw 'circle 430,46 430,12' \
  -fill none -stroke '#ffffff' -strokewidth 3 -draw 'ellipse 250,262 330,68 180,360' \
  -stroke 'rgba(255,255,255,0.55)' -strokewidth 2 -draw 'ellipse 250,262 290,50 180,360' \
  -stroke '#d9b44a' -strokewidth 1 -draw 'line 0,178 500,178' \
  -stroke '#ffffff' -strokewidth 3 -draw 'line 404,150 404,212' \
  -stroke none -fill '#c8322b' -draw 'circle 404,146 404,136' \
  -fill '#ffffff' -draw 'circle 404,146 404,141' \
  -fill '#ffffff' -font DejaVu-Sans-Bold -pointsize 44 -annotate +28+96 'tqVorn' \
  -fill '#d9b44a' -font DejaVu-Sans -pointsize 15 -annotate +32+124 'RACING DATA SUITE' \
  -fill 'rgba(0,0,0,0.45)' -draw 'roundrectangle 12,266 488,344 8,8' \
  "$tmp/background.png"

# Track strip: a light rail with a dark cap on the right for the percentage.
convert -size 460x24 xc:none \
  -fill '#e9e4d4' -stroke '#8c8670' -strokewidth 1 -draw 'roundrectangle 0,1 459,22 6,6' \
  -fill '#1d4f2d' -stroke none -draw 'roundrectangle 410,1 459,22 6,6' \
  -draw 'rectangle 410,1 416,22' \
  "$tmp/track.png"

# Fill strip: a gold band inside the rail's height (rows 3-20), brighter at the top.
convert -size 398x18 gradient:'#ffe58a-#e0a328' \
  \( -size 398x18 xc:none -fill '#ffffff' -draw 'roundrectangle 0,0 397,17 5,5' \) \
  -alpha set -compose DstIn -composite \
  "$tmp/fill.png"

convert -size 500x396 xc:none \
  "$tmp/background.png" -geometry +0+0 -composite \
  "$tmp/track.png" -geometry +0+348 -composite \
  "$tmp/fill.png" -geometry +0+375 -composite \
  -alpha set -depth 8 -define png:color-type=6 -strip splash.png
