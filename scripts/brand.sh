#!/usr/bin/env bash
# Makes the launcher's artwork and icon from a game's own pictures, in the formats the build
# checks for: the key art scaled to cover 520 x 316 and cropped about its centre, never
# stretched, as a 24-bit BMP; the logo fitted into the three icon images, 16 x 16 8-bit, 32 x 32
# 4-bit and 32 x 32 8-bit. SVG is drawn by librsvg and PDF (its first page) by poppler, each at
# the size it is needed, so that a small logo stays sharp; other pictures are ImageMagick's to
# read. The same pictures give the same bytes.
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
bash "$here/setup.sh" imagemagick icoutils librsvg2-bin poppler-utils cmake

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# ImageMagick's temporary files go there too, so that leaving out lines that name $work leaves
# out every temporary path.
export MAGICK_TEMPORARY_PATH=$work
# ImageMagick 7 calls itself magick, and warns on every use of the old name.
im=convert
command -v magick >/dev/null && im=magick
works="pictures that work: SVG, PDF, PNG, JPEG, GIF, BMP, TIFF, WebP and the other raster formats ImageMagick reads"
said=$work/said

# Stops for the picture FILE, playing the part WHAT, that its reader refused with the messages
# in $said. Nothing has been written yet.
unreadable() {  # WHAT FILE
  local reason
  reason=$({ grep -vF "$work" "$said" || true; } | sed -E 's/^[a-z0-9.-]+: //; s/ @ (error|warning)\/[^ ]*$//' |
    awk 'NF && !seen[$0]++' | paste -sd '|' | sed 's/|/; /g')
  if [[ $reason == *"security policy"* ]]; then
    echo "brand: the $1 '$2' is in a format that ImageMagick's security policy here keeps it from reading; $works" >&2
  else
    echo "brand: the $1 '$2' cannot be read as a picture: ${reason:-its reader found no picture in it}" >&2
    echo "brand: $works" >&2
  fi
  exit 1
}

# What a picture is, from its name for SVG and else from its first bytes: svg, pdf, ps
# (PostScript or EPS, which Debian's ImageMagick refuses and nothing here draws) or raster.
kind_of() {
  case "$1" in *.[sS][vV][gG] | *.[sS][vV][gG][zZ]) echo svg; return ;; esac
  case "$(head -c 4096 "$1" | LC_ALL=C tr -c '[:print:]' ' ')" in
    *'%PDF-'*) echo pdf ;;
    '%!'*) echo ps ;;
    *'<svg'*) echo svg ;;
    *) if [ "$(head -c 4 "$1" | od -An -tx1 | tr -d ' \n')" = c5d0d3c6 ]; then echo ps; else echo raster; fi ;;
  esac
}

# Draws the first page of PDF FILE as PNG (named without its .png) with pdftocairo's OPTIONS.
pdf_page() {  # WHAT FILE PNG OPTIONS...
  pdftocairo -png -singlefile -transp -f 1 -l 1 "${@:4}" "$2" "${3%.png}" 2>"$said" || unreadable "$1" "$2"
}

# Draws vector picture FILE as PNG, W pixels wide ("-" for any width) and H high ("-": any),
# keeping its proportions; with both, fitted into W x H. A PDF logo is fitted by what its page
# draws, margins left out.
draw() {  # WHAT KIND FILE PNG W H
  local what=$1 kind=$2 file=$3 png=$4 w=$5 h=$6
  if [ "$kind" = svg ]; then
    local size=(--keep-aspect-ratio)
    [ "$w" = - ] || size+=(-w "$w")
    [ "$h" = - ] || size+=(-h "$h")
    rsvg-convert "${size[@]}" -o "$png" "$file" 2>"$said" || unreadable "$what" "$file"
  elif [ "$w" = - ] || [ "$h" = - ]; then
    pdf_page "$what" "$file" "$png" -scale-to-x "${w/-/-1}" -scale-to-y "${h/-/-1}"
  else
    # The page drawn large shows where its drawing lies; then only that part is drawn, its
    # longer side W pixels, and whatever a rounding left empty around it is trimmed.
    local pw ph bw bh bx by drawn
    pdf_page "$what" "$file" "$work/probe.png" -scale-to 2048
    read -r pw ph bw bh bx by drawn <<<"$($im "$work/probe.png" -alpha extract -threshold 0 \
      -format '%w %h %@ %[fx:maxima]' info: 2>/dev/null | tr 'x+' '  ')"
    if [ "$drawn" = 0 ]; then echo "its first page draws nothing" >"$said"; unreadable "$what" "$file"; fi
    pdf_page "$what" "$file" "$png" $(awk -v s="$w" -v pw="$pw" -v ph="$ph" -v bw="$bw" -v bh="$bh" -v bx="$bx" -v by="$by" \
      'BEGIN { k = s / (bw > bh ? bw : bh); x = int(bx * k); y = int(by * k)
               printf "-scale-to-x %d -scale-to-y %d -x %d -y %d -W %d -H %d", pw * k + 0.5, ph * k + 0.5,
                      x, y, (bx + bw) * k - x + 1, (by + bh) * k - y + 1 }')
    $im "$png" -trim +repage "$png"
  fi
}

# Reads the first frame (of an animation) or image (of an icon) of raster FILE into MIFF, turned
# upright and into sRGB. A truncated file may come with a warning alone and a half-grey
# picture: it counts as unreadable; other warnings are passed on.
read_raster() {  # WHAT FILE MIFF
  $im "$2[0]" -auto-orient -colorspace sRGB "MIFF:$3" 2>"$said" || unreadable "$1" "$2"
  if grep -qiE 'premature end|unexpected end|end.of.file|insufficient image data|truncat' "$said"; then
    unreadable "$1" "$2"
  fi
  grep -vF "$work" "$said" | sed "s|^|brand: reading $2: |" >&2 || true
}

# The picture for part WHAT from FILE, as a file in $work that ImageMagick reads: a raster
# picture as it is, a vector one drawn at each SIZE (for the key art: "cover").
prepare() {  # WHAT FILE NAME SIZE...
  local what=$1 file=$2 name=$3 kind size
  kind=$(kind_of "$file")
  if [ "$kind" = ps ]; then
    echo "brand: the $what '$file' is PostScript or EPS, which is not read here; $works" >&2
    exit 1
  elif [ "$kind" = raster ]; then
    read_raster "$what" "$file" "$work/$name.miff"
    for size in "${@:4}"; do ln -s "$name.miff" "$work/$name-$size"; done
  else
    for size in "${@:4}"; do
      if [ "$size" = cover ]; then
        # As wide as the artwork, or, where that leaves it short, as high.
        draw "$what" "$kind" "$file" "$work/$name-$size.png" 520 -
        [ "$($im "$work/$name-$size.png" -format %h info:)" -ge 316 ] ||
          draw "$what" "$kind" "$file" "$work/$name-$size.png" - 316
      else
        draw "$what" "$kind" "$file" "$work/$name-$size.png" "$size" "$size"
      fi
      mv "$work/$name-$size.png" "$work/$name-$size"
    done
  fi
}
prepare "key art" "$art" art cover
prepare logo "$logo" logo 16 32

# Writes the 32-bit little-endian number $3 at offset $2 of file $1.
put32() {
  local escapes
  escapes=$(printf '\\%03o' $(($3 & 255)) $(($3 >> 8 & 255)) $(($3 >> 16 & 255)) $(($3 >> 24 & 255)))
  printf "$escapes" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# Transparent parts of the key art show black.
$im "$work/art-cover" -background black -alpha remove -alpha off \
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
  $im "$work/logo-$side" -alpha set -background none \
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

# The credit is drawn in white by default over about columns 360 to 519, rows 290 to 315. White
# text reads at 4.5 : 1 only on a relative luminance of at most 0.18.
read -r mean light < <($im "$work/artwork.bmp" -crop 160x26+360+290 -depth 8 RGB:- | od -An -v -tu1 -w3 | awk '
  function linear(c) { c /= 255; return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4 }
  { y = 0.2126 * linear($1) + 0.7152 * linear($2) + 0.0722 * linear($3); sum += y; over += y > 0.18 }
  END { printf "%.3f %.1f\n", sum / NR, 100 * over / NR }')
if awk -v m="$mean" -v l="$light" 'BEGIN { exit !(m > 0.18 || l > 5) }'; then
  echo "brand: warning: the credit's white text will not read well: the key art is too light under it," \
    "in the artwork's columns 360 to 519, rows 290 to 315 (mean relative luminance $mean, $light % of" \
    "its pixels over 0.18; for 4.5 : 1 contrast at most 0.18 and 5 %); darken that corner" >&2
fi

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
