#!/usr/bin/env bash
# Draws the program's icon, remdo.ico beside this script: a closed navy book
# with white page edges and a red bookmark, and a green tick (the repair
# mark) over its lower right corner; drawn at 16, 32 and 48 pixels each
# rather than scaled down, so that the small sizes stay crisp. Needs
# ImageMagick; the .ico is committed, so a build does not.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

draw() {  # size
  local s=$1
  # Coordinates on a 48-unit grid, scaled to the size.
  local k; k=$(awk -v s="$s" 'BEGIN { print s / 48 }')
  local stroke; stroke=$(awk -v s="$s" 'BEGIN { w = s / 10; if (w < 2) w = 2; print w }')
  convert -size "${s}x${s}" xc:none \
    -draw "scale $k,$k fill #f4f1e6 stroke #3a3a3a stroke-width 1.5 rectangle 12,6 40,42" \
    -draw "scale $k,$k fill #1f3a93 stroke #10205a stroke-width 1.5 roundrectangle 8,4 36,40 3,3" \
    -draw "scale $k,$k fill #d23c2c stroke none rectangle 27,4 31,18" \
    -draw "scale $k,$k fill #e8c547 stroke none rectangle 12,10 30,13" \
    -fill none -stroke '#1a9e3a' -strokewidth "$stroke" \
    -draw "scale $k,$k polyline 22,33 29,40 44,22" \
    "PNG32:$work/$s.png"
}
for size in 16 32 48; do draw "$size"; done
convert "$work/16.png" "$work/32.png" "$work/48.png" "$here/remdo.ico"
echo "$here/remdo.ico"
