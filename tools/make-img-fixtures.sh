#!/bin/sh
# Writes the image fixtures of the img tests with ImageMagick from small
# pixel patterns defined here (the tests compute the same patterns):
#   A (9x4): r = 25x+5, g = 60y+15, b = 250-20x-30y, a = 255-20x-10y
#   B (9x4): 16 colours, i = (x+3y) % 16: r = 17i, g = 255-17i, b = 53i % 256
#   C (9x4): grey 28x+5y, alpha 255-25x
#   D (9x4): 4 colours, i = (x+y) % 4: red, green, blue, white (transparent in d_pal2_trns)
# Usage: tools/make-img-fixtures.sh [output folder], default tests/data/img.
set -e
cd "$(dirname "$0")/.."
OUT=${1:-tests/data/img}
IM=/usr/bin/convert
[ -x "$IM" ] || IM=convert
mkdir -p "$OUT"
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

pattern() {
	awk -v kind="$1" 'BEGIN {
		print "# ImageMagick pixel enumeration: 9,4,255,srgba"
		split("255 0 0 255,0 255 0 255,0 0 255 255,255 255 255 255", d, ",")
		for (y = 0; y < 4; y++) for (x = 0; x < 9; x++) {
			if (kind == "A") { r = 25*x+5; g = 60*y+15; b = 250-20*x-30*y; a = 255-20*x-10*y }
			if (kind == "B") { i = (x+3*y) % 16; r = 17*i; g = 255-17*i; b = (53*i) % 256; a = 255 }
			if (kind == "C") { r = g = b = 28*x+5*y; a = 255-25*x }
			if (kind == "D") { split(d[(x+y)%4+1], c, " "); r = c[1]; g = c[2]; b = c[3]; a = 255 }
			printf "%d,%d: (%d,%d,%d,%d)\n", x, y, r, g, b, a
		}
	}' > "$TMP/$1.txt"
}
for p in A B C D; do pattern $p; done
A="txt:$TMP/A.txt"; B="txt:$TMP/B.txt"; C="txt:$TMP/C.txt"; D="txt:$TMP/D.txt"

# Reproducible files: no time stamps or other metadata.
IMX="$IM -define png:exclude-chunks=date,time -strip"

$IMX "$A" -alpha off -type TrueColor BMP3:"$OUT/a_rgb24.bmp"
$IMX "$A" -alpha off -type Palette -compress None BMP3:"$OUT/a_pal8.bmp"
$IMX "$B" -alpha off -type Palette -compress None BMP3:"$OUT/b_pal4.bmp"
$IMX "$A" -alpha off -type TrueColor BMP2:"$OUT/a_core24.bmp"

# ImageMagick stores TGA rows in memory order and labels them by the image's
# orientation: flipped first, bottom-left files come out with the last row first.
$IMX "$A" -flip -alpha off -type TrueColor -compress None "$OUT/a_rgb24.tga"
$IMX "$A" -flip -type TrueColorAlpha -compress RLE "$OUT/a_rgba32_rle.tga"
$IMX "$A" -orient TopLeft -alpha off -type Palette -compress None "$OUT/a_pal8.tga"
$IMX "$C" -flip -alpha off -type Grayscale -compress None "$OUT/c_grey8.tga"

$IMX "$A" -alpha off PNG24:"$OUT/a_rgb.png"
$IMX "$A" PNG32:"$OUT/a_rgba.png"
$IMX "$A" -alpha off -interlace PNG PNG24:"$OUT/a_interlaced.png"
$IMX "$A" -depth 16 PNG64:"$OUT/a_rgba64.png"
$IMX "$C" -alpha off -define png:color-type=0 -define png:bit-depth=8 "$OUT/c_grey.png"
$IMX "$C" -define png:color-type=4 -define png:bit-depth=8 "$OUT/c_greyalpha.png"
$IMX "$A" -type PaletteAlpha PNG:"$OUT/a_pal8_trns.png"
$IMX "$D" -alpha off -define png:color-type=3 -define png:bit-depth=2 "$OUT/d_pal2.png"
$IMX "$D" -alpha off -transparent white -define png:bit-depth=2 PNG8:"$OUT/d_pal2_trns.png"

$IMX "$A" -alpha off -quality 95 -sampling-factor 1x1 "$OUT/a.jpg"
$IMX "$A" -alpha off -quality 95 -sampling-factor 1x1 -interlace JPEG "$OUT/a_progressive.jpg"
$IMX "$C" -alpha off -type Grayscale -quality 95 "$OUT/c_grey.jpg"
$IMX "$A" -alpha off -colorspace CMYK -quality 95 "$OUT/a_cmyk.jpg"
