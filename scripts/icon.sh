#!/usr/bin/env bash
# Draws the program icon (src/app/icons/quietpane-*.png) with ImageMagick: a window on a blue
# tile whose lower right corner fades away, the browser that vanishes.
# Usage: scripts/icon.sh   (needs imagemagick; the pictures are kept in the repository)
set -euo pipefail
cd "$(dirname "$0")/../src/app/icons"
convert -size 256x256 xc:none -fill '#1d4f91' -draw 'roundrectangle 8,8 247,247 44,44' \
  \( -size 256x256 xc:none -fill white -draw 'roundrectangle 40,52 216,204 16,16' \
     -fill '#1d4f91' -draw 'circle 62,72 68,72' -draw 'circle 84,72 90,72' -draw 'circle 106,72 112,72' \
     -fill '#a9cdf2' -draw 'rectangle 52,92 204,192' \
     \( -size 256x256 xc: -fx 'min(1, max(0.1, 1.8 - 1.9 * (i + j) / (w + h)))' -alpha copy \) \
     -compose DstIn -composite \) \
  -compose Over -composite quietpane-256.png
convert quietpane-256.png -resize 32x32 quietpane-32.png
convert quietpane-256.png -resize 16x16 quietpane-16.png
