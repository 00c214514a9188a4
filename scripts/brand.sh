#!/usr/bin/env bash
# Makes the launcher's artwork and icon from a game's own pictures, in any format ImageMagick
# reads, in the formats the build checks for: the key art scaled to cover 520 x 316 and cropped
# about its centre, never stretched, as a 24-bit BMP; the logo fitted into the three icon images,
# 16 x 16 8-bit, 32 x 32 4-bit and 32 x 32 8-bit. The same pictures give the same bytes.
#   usage: brand.sh KEY-ART LOGO [FOLDER]      (FOLDER: launcher/resources/ by default)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: bash scripts/brand.sh KEY-ART LOGO [FOLDER]" >&2
  exit 2
fi
art=$1 logo=$2 folder=${3:-$root/launcher/resources}
for picture in "$art" "$logo"; do
  [ -f "$picture" ] || { echo "brand: no such file: $picture" >&2; exit 1; }
done
bash "$here/setup.sh" imagemagick icoutils cmake

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Writes the 32-bit little-endian number $3 at offset $2 of file $1.
put32() {
  local escapes
  escapes=$(printf '\\%03o' $(($3 & 255)) $(($3 >> 8 & 255)) $(($3 >> 16 & 255)) $(($3 >> 24 & 255)))
  printf "$escapes" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# [0]: the first frame of an animation or the first image of an icon. Transparent parts of the
# key art show black.
convert "$art[0]" -auto-orient -colorspace sRGB -background black -alpha remove -alpha off \
  -resize '520x316^' -gravity center -extent 520x316 +repage -strip -type TrueColor "BMP3:$work/artwork.bmp"
# ImageMagick writes the pixels' byte count, the input's resolution and no trailing bytes; the
# format wants 0, 2834 pixels per metre (72 per inch) and two zero bytes that the size counts.
put32 "$work/artwork.bmp" 2 493016
put32 "$work/artwork.bmp" 34 0
put32 "$work/artwork.bmp" 38 2834
put32 "$work/artwork.bmp" 42 2834
printf '\0\0' >>"$work/artwork.bmp"

# One icon image as a PNG: the logo fitted into SIDE x SIDE, its alpha made all or nothing (icotool
# writes any partial alpha as 32-bit pixels) and its colours cut to COLOURS. icotool gives the
# transparent pixels a colour of their own, so COLOURS is one short of what the depth holds; the
# alpha is cut again in case the colour reduction blended it.
icon_image() {
  local side=$1 colours=$2
  convert "$logo[0]" -auto-orient -colorspace sRGB -alpha set -background none \
    -resize "${side}x${side}" -gravity center -extent "${side}x${side}" +repage \
    -channel A -threshold 50% +channel -colors "$colours" -channel A -threshold 50% +channel \
    -strip "PNG32:$work/$side-$colours.png"
}
icon_image 16 255
icon_image 32 15
icon_image 32 255
icotool -c -o "$work/launcher.ico" -b 8 "$work/16-255.png" -b 4 "$work/32-15.png" -b 8 "$work/32-255.png"

# The build's own check: a file it would refuse is never written.
cmake -DARTWORK="$work/artwork.bmp" -DICON="$work/launcher.ico" -P "$root/cmake/check-pictures.cmake"

mkdir -p "$folder"
cp "$work/artwork.bmp" "$work/launcher.ico" "$folder/"
echo "brand: wrote $folder/artwork.bmp: $art scaled to cover 520 x 316, cropped about its centre, 24-bit"
echo "brand: wrote $folder/launcher.ico: $logo at 16 x 16 (256 colours) and 32 x 32 (16 and 256 colours)"
echo "brand: at 100 % the window shows the artwork's columns 72 to 518 and rows 0 to 314"
if [ "$(cd "$folder" && pwd)" = "$root/launcher/resources" ]; then
  echo "brand: to see them in the launcher: bash scripts/demo.sh (without a display it saves a screenshot)"
else
  echo "brand: to build them in, copy both into $root/launcher/resources/; then bash scripts/demo.sh shows them"
fi
