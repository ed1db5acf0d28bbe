#!/usr/bin/env bash
# Draws the stored pictures of the four windows (backgrounds with painted captions, the title
# strip with its buttons' masks and glyphs, the tree's node picture, the tray icon and the
# application icons). The results are committed; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"
F=DejaVu-Sans-Bold
RUST='rgb(169,72,22)'
DARK='rgb(96,38,12)'
LIGHT='rgb(255,236,214)'
EDGE='rgb(239,154,111)'
PILL='rgb(120,48,16)'

# Title strip and its image buttons: one script keeps captions, masks and glyphs in register.
python3 make_channels.py

# Page background 800x568: a dark strip on the left for the check box captions, parchment
# behind the tree.
convert -size 800x568 gradient:"rgb(252,240,222)-rgb(236,210,178)" \
  -fill "$DARK" -draw "rectangle 0,0 104,568" \
  -fill "rgb(198,107,34)" -draw "rectangle 104,0 108,568" \
  -font DejaVu-Serif-Bold -pointsize 22 -fill "$RUST" \
  -draw "text 120,46 'Энциклопедия «Природа и наука»'" \
  -fill "rgb(198,107,34)" -draw "rectangle 120,56 785,58" \
  -font DejaVu-Sans -pointsize 11 -fill "rgb(120,70,40)" \
  -draw "text 120,540 'Выберите статью или раздел в содержании.'" \
  -type TrueColor BMP3:menu.bmp

# A caption centred in a rounded pill: pill X0 Y0 X1 Y1 TEXT (used inside a convert command).
pill() {
  printf '%s\n' -fill "$PILL" -draw "roundrectangle $1,$2 $3,$4 7,7" \
    -fill "$LIGHT" -gravity NorthWest -font $F -pointsize 11 \
    -draw "text $(( ($1 + $3) / 2 - $6 )),$(( $2 + 1 )) '$5'"
}

# Contents window 345x337: the find box's field, and "искать/далее" and "закрыть" over the
# window's two click areas (152..249 and 256..337 across, 296..313 down).
mapfile -t find < <(pill 152 296 248 313 'искать/далее' 37)
mapfile -t close < <(pill 256 296 336 313 'закрыть' 24)
convert -size 345x337 gradient:"rgb(186,82,28)-$RUST" \
  -fill none -stroke "$EDGE" -strokewidth 2 -draw "roundrectangle 2,2 342,334 8,8" \
  -stroke none -fill "$EDGE" -draw "rectangle 11,294 143,318" \
  "${find[@]}" "${close[@]}" \
  -type TrueColor BMP3:contents.bmp

# Search window 384x221: the phrase field, and "искать далее" and "закрыть" over the click
# areas (8..97 and 304..369 across, 200..217 down).
mapfile -t further < <(pill 8 200 96 217 'искать далее' 38)
mapfile -t close < <(pill 304 200 368 217 'закрыть' 24)
convert -size 384x221 gradient:"$RUST-$DARK" \
  -fill none -stroke "$EDGE" -strokewidth 2 -draw "roundrectangle 2,2 381,218 8,8" \
  -stroke none -fill "$EDGE" -draw "rectangle 9,15 267,36" \
  "${further[@]}" "${close[@]}" \
  -type TrueColor BMP3:search.bmp

# Node picture 16x16: a small closed book.
convert -size 16x16 xc:white \
  -fill "$RUST" -draw "rectangle 3,2 12,13" \
  -fill "$LIGHT" -draw "rectangle 5,4 11,6" \
  -fill "$DARK" -draw "rectangle 3,12 12,13" \
  -type TrueColor BMP3:node.bmp

# The application icon, drawn once as a scalable picture: the tray's 16x16 in 16 colours and
# the desktop entry's 48x48.
# Tray hosts without compositing show see-through pixels black: the tray's icon is opaque.
convert -background none kvarnelya.svg -resize 16x16 \
  -background "rgb(140,60,24)" -flatten -colors 16 icon.ico
convert -background none kvarnelya.svg -resize 48x48 -depth 8 kvarnelya-48.png
