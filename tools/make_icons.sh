#!/usr/bin/env bash
# Renders data/icons/huewright.svg to the PNGs of the hicolor theme under
# data/icons/hicolor/NxN/apps/huewright.png (16 to 256 pixels) with ImageMagick's own
# SVG renderer, so the PNGs are the SVG's. Run it after changing the SVG; the
# install checks compare the sizes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
svg=$root/data/icons/huewright.svg
for size in 16 22 24 32 48 64 128 256; do
  out=$root/data/icons/hicolor/${size}x${size}/apps/huewright.png
  mkdir -p "$(dirname "$out")"
  # Rendered at four times the size and scaled down, so small sizes keep their edges.
  convert -background none -density $((4 * 72 * size / 256)) "MSVG:$svg" \
    -resize "${size}x${size}!" -define png:exclude-chunks=date,time -strip "PNG32:$out"
done
