#!/usr/bin/env bash
# Tests brand.sh and the build's check of the pictures (cmake/check-pictures.cmake) on small
# pictures that ImageMagick and librsvg make here, in a temporary folder.
set -euo pipefail
shopt -s extglob
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
bash "$here/setup.sh" imagemagick icoutils librsvg2-bin cmake
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

failures=0
fail() { echo "test-brand: FAIL: $*" >&2; failures=$((failures + 1)); }
check() { cmake "$@" -P "$root/cmake/check-pictures.cmake" 2>&1; }

# The colour at (x, y) of a picture as "r,g,b" or, with alpha, "r,g,b,a".
pixel() { convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | sed -n 's/^0,0: *(\([0-9,]*\)).*/\1/p'; }
# Whether a colour is within 12 of a wanted one in each channel (JPEG and scaling blur a little);
# "-" wants any value, as for the colour of a transparent pixel.
near() { awk -v a="$1" -v b="$2" 'BEGIN { n = split(a, x, ","); if (n != split(b, y, ",")) exit 1
  for (i = 1; i <= n; i++) if (y[i] != "-" && (x[i] - y[i] > 12 || y[i] - x[i] > 12)) exit 1 }'; }
expect_pixel() {  # PICTURE X Y COLOUR WHAT
  local seen
  seen=$(pixel "$1" "$2" "$3")
  near "$seen" "$4" || fail "$5: pixel ($2, $3) of $1 is $seen, not $4"
}

# Wide and tall key art, each with a band across its middle that a crop to cover 520 x 316 keeps
# whole; stretching, fitting or cropping off-centre shows the colour beside the band at the edge.
convert -size 1000x200 xc:red -fill lime -draw 'rectangle 300,0 699,199' wide.png
convert -size 200x800 xc:blue -fill yellow -draw 'rectangle 0,300 199,499' -quality 95 tall.jpg
# A logo with partial alpha: an orange disc that composes to 72 % (opaque once cut) within a blue
# one at 30 % (transparent).
convert -size 64x64 xc:none -fill 'rgba(0,0,255,0.3)' -draw 'circle 32,32 32,0' \
  -fill 'rgba(230,100,20,0.6)' -draw 'circle 32,32 32,16' alpha.png
# A two-colour logo, no alpha, wider than high: fitted, it leaves transparent strips.
convert -size 40x20 xc:white -fill black -draw 'rectangle 10,5 29,14' -type Palette two.gif
# Vector pictures: wide.png as SVG; a logo of nominal size 10 x 10 whose edge between two opaque
# colours falls between columns 7 and 8 of the 16 x 16 image, which a drawing at 10 x 10 scaled
# up would blend; and a PDF page whose wide margins the logo, fitted by what is drawn, leaves out.
svg() { echo "<svg xmlns='http://www.w3.org/2000/svg' width='$1' height='$2'>$3</svg>" >"$4"; }
svg 1000 200 "<rect width='1000' height='200' fill='red'/><rect x='300' width='400' height='200' fill='lime'/>" wide.svg
svg 10 10 "<rect width='5' height='10' fill='red'/><rect x='5' width='5' height='10' fill='blue'/>" edge.svg
svg 100 100 "<rect x='30' y='30' width='40' height='40' fill='#2080ff'/>" page.svg
rsvg-convert -f pdf -o page.pdf page.svg

# brand.sh into FOLDER, its messages kept in FOLDER.txt and shown when it fails.
brand() { bash "$root/scripts/brand.sh" "${@:2}" "$1" >/dev/null 2>"$1.txt" || { cat "$1.txt" >&2; false; }; }

# Every run gives files the build accepts, with the pictures' pixels, and the same bytes twice.
if brand one wide.png alpha.png && brand again wide.png alpha.png && brand two tall.jpg two.gif &&
   brand svg wide.svg edge.svg && brand pdf page.pdf page.pdf; then
  for folder in one two svg pdf "$root/launcher/resources"; do
    out=$(check -DARTWORK="$folder/artwork.bmp" -DICON="$folder/launcher.ico") || fail "the check refuses $folder: $out"
  done
  cmp -s one/artwork.bmp again/artwork.bmp && cmp -s one/launcher.ico again/launcher.ico ||
    fail "brand.sh gave other bytes for the same pictures"
  expect_pixel one/artwork.bmp 10 158 0,255,0 "the wide key art covered and cropped about its centre"
  expect_pixel two/artwork.bmp 260 5 255,255,0 "the tall key art covered and cropped about its centre"
  centre=$(pixel alpha.png 32 32)
  expect_pixel "one/launcher.ico[2]" 16 16 "${centre%,*},255" "the logo's 72 % alpha made opaque"
  expect_pixel "one/launcher.ico[2]" 16 3 -,-,-,0 "the logo's 30 % alpha made transparent"
  expect_pixel "two/launcher.ico[1]" 16 16 0,0,0,255 "the two-colour logo at 4 bits"
  expect_pixel svg/artwork.bmp 10 158 0,255,0 "the wide SVG key art covered and cropped about its centre"
  expect_pixel "svg/launcher.ico[0]" 7 8 255,0,0,255 "the SVG logo drawn at 16 x 16, left of its edge"
  expect_pixel "svg/launcher.ico[0]" 8 8 0,0,255,255 "the SVG logo drawn at 16 x 16, right of its edge"
  expect_pixel "pdf/launcher.ico[0]" 1 1 32,128,255,255 "the PDF logo fitted by what its page draws"
else
  fail "brand.sh refused a picture"
fi

# The credit's white text needs a dark corner: brand.sh warns, naming it, over a light one and
# over one a tenth white, and not over the committed artwork's or a black one (page.pdf's).
convert -size 520x316 xc:black -fill white -draw 'rectangle 470,300 509,310' specks.png
if brand specks specks.png edge.svg && brand committed "$root/launcher/resources/artwork.bmp" edge.svg; then
  for run in one specks; do grep -q 'warning.*columns 360 to 519' $run.txt || fail "no warning for $run's light corner"; done
  for run in committed pdf; do ! grep -q warning $run.txt || fail "a warning for $run's dark corner: $(cat $run.txt)"; done
else
  fail "brand.sh refused a key art made to test the credit's corner"
fi

# Files that are no pictures, or not whole (libjpeg only warns and greys the rest of this JPEG):
# each refused with a message that names it and shows no temporary path, and nothing written.
head -c 1500 tall.jpg >'cut off.jpg'
echo 'not a picture' >notes.png
head -c 60 page.svg >broken.svg
head -c 300 page.pdf >cut.pdf
printf '%%!PS-Adobe-3.0 EPSF-3.0\n' >logo.eps
mkdir scratch
for bad in 'cut off.jpg' notes.png broken.svg cut.pdf logo.eps; do
  if out=$(TMPDIR=$work/scratch bash "$root/scripts/brand.sh" "$bad" alpha.png refused 2>&1); then
    fail "brand.sh took $bad"
  elif ! grep -qF "$bad" <<<"$out" || grep -qF "$work/scratch" <<<"$out" || [ -e refused ]; then
    fail "brand.sh refused $bad without naming it, or named a temporary path, or wrote files: $out"
  fi
  rm -rf refused
done

# Our stand-in pictures are drawn from two SVG sources. The packages that made the committed files
# make them again byte for byte; other versions may round a pixel otherwise.
made_with="icoutils=0.32.3-4 libcairo2=1.16.0-7 libmagickcore-6.q16-6=8:6.9.11.60+dfsg-1.6+deb12u16 libpixman-1-0=0.42.2-1 librsvg2-2=2.54.7+dfsg-1~deb12u2"
here_with=$({ dpkg-query -W -f='${Package}=${Version}\n' ${made_with//=+([^ ])/} 2>/dev/null || true; } | sort -u | paste -sd ' ')
if [ "$here_with" != "$made_with" ]; then
  echo "test-brand: skipped the stand-in pictures' bytes: made with $made_with; here ${here_with:-none of those}"
elif ! brand standin "$root/tools/standin/key-art.svg" "$root/tools/standin/logo.svg" ||
     ! cmp -s standin/artwork.bmp "$root/launcher/resources/artwork.bmp" ||
     ! cmp -s standin/launcher.ico "$root/launcher/resources/launcher.ico"; then
  fail "brand.sh does not make the committed stand-in pictures from tools/standin/ again"
fi

# Wrong files, one of each kind a publisher might drop in, each refused with its misfit named.
convert wide.png -resize '520x316!' wrong.png
cp wrong.png png-named.bmp
convert -size 520x316 gradient:red-blue -type Palette BMP3:8-bit.bmp
convert wrong.png -alpha set -channel A -evaluate set 50% +channel BMP:32-bit-v5.bmp
convert wide.png -resize '800x486!' -type TrueColor BMP3:800x486.bmp
convert wrong.png -type TrueColor BMP3:as-imagemagick-writes-it.bmp
convert -size 256x256 xc:red -alpha set PNG32:big.png
icotool -c -r big.png -o modern.ico
cp "$root/launcher/resources/launcher.ico" image-header.ico
printf '\10\0' | dd of=image-header.ico bs=1 seek=$((1438 + 14)) conv=notrunc status=none
refused() {  # KIND FILE MISFIT
  local out
  if out=$(check "-D$1=$2"); then
    fail "the check accepts $2"
  elif ! grep -qF -- "$3" <<<"$out" || ! grep -qF "bash scripts/brand.sh KEY-ART LOGO" <<<"$out"; then
    fail "the check refuses $2 without naming '$3' and brand.sh: $out"
  fi
}
refused ARTWORK png-named.bmp "signature (bytes 0-1) holds hex '8950', must hold 'BM' (hex 424d): it is a PNG file"
refused ARTWORK 8-bit.bmp "bits per pixel (bytes 28-29) holds 8, must hold 24"
refused ARTWORK 32-bit-v5.bmp "bits per pixel (bytes 28-29) holds 32, must hold 24"
refused ARTWORK 800x486.bmp "width (bytes 18-21) holds 800, must hold 520"
refused ARTWORK as-imagemagick-writes-it.bmp "the file is 493014 bytes long, must be 493016"
refused ICON modern.ico "image 1 (16 x 16, 8-bit), directory: bits per pixel (bytes 12-13) holds 32, must hold 8"
refused ICON image-header.ico "image 2 (32 x 32, 4-bit): bits per pixel (bytes 1452-1453) holds 8, must hold 4"

if [ "$failures" -ne 0 ]; then
  echo "test-brand: $failures failed" >&2
  exit 1
fi
echo "test-brand: brand.sh and the pictures' check passed"
