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

# Placeholder splash: 500 x 396 with alpha (the artwork replaces it later).
convert -size 500x396 gradient:'#0d3b24-#1f6b3a' -alpha set -depth 8 \
  -define png:color-type=6 splash.png
