#!/bin/sh
# Render the lettering and the diagonal line of the splash picture as grey
# masks (250 x 200, one byte per pixel, white = ink) for tools/draw_images.py,
# which blends them onto the splash ground.  Needs ImageMagick's convert and
# the IPA P Gothic font.
#
# Usage: tools/draw_splash.sh OUTDIR
#   writes OUTDIR/title.gray, OUTDIR/small.gray and OUTDIR/line.gray
set -eu

out=${1:?usage: $0 OUTDIR}
font=${VELM_SPLASH_FONT:-/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf}
size=250x200

if [ ! -f "$font" ]; then
    echo "draw_splash.sh: font not found: $font" >&2
    exit 1
fi

# The program's name, in two lines.
convert -size $size xc:black -font "$font" -fill white -antialias \
    -pointsize 34 -annotate +20+62 'Velm HTML' \
    -pointsize 34 -annotate +112+102 'Editor' \
    -depth 8 "gray:$out/title.gray"

# Rights line and web address.
convert -size $size xc:black -font "$font" -fill white -antialias \
    -pointsize 11 -annotate +20+166 'Copyright (C) 2000 Velm Project' \
    -pointsize 11 -annotate +20+182 'http://www.example.com/velm/' \
    -depth 8 "gray:$out/small.gray"

# A thin light line rising across the picture, under the name.
convert -size $size xc:black -stroke white -strokewidth 1 -fill none -antialias \
    -draw 'line 0,146 249,104' \
    -depth 8 "gray:$out/line.gray"
