#!/bin/sh
# Paints the demo's repeating material pictures over the images of their sheets.
# Usage: materials.sh <convert> <images folder>. Each picture is 64 x 64 (a power of two, so
# it repeats without GL_OES_texture_npot) and tiles without a seam.
set -e
convert=$1
out=$2
"$convert" -size 64x64 xc:'#9a6a38' \
	-fill '#b98a52' -draw 'rectangle 0,4 63,6' -draw 'rectangle 0,22 63,23' -draw 'rectangle 0,38 63,40' -draw 'rectangle 0,54 63,55' \
	-fill '#5e3c1c' -draw 'rectangle 0,15 63,16' -draw 'rectangle 0,31 63,32' -draw 'rectangle 0,47 63,48' -draw 'rectangle 0,63 63,63' \
	PNG32:"$out/material_wood.png"
"$convert" -size 64x64 xc:'#8c8c8c' \
	-fill '#5a5a5a' -draw 'rectangle 0,0 63,1' -draw 'rectangle 0,32 63,33' -draw 'rectangle 0,2 1,31' -draw 'rectangle 32,34 33,63' \
	PNG32:"$out/material_stone.png"
