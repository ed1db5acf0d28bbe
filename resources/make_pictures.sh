#!/usr/bin/env bash
# Draws the stored pictures of the four windows (backgrounds with painted captions, the tree's
# node picture and the tray icon). The results are committed; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"
F=DejaVu-Sans-Bold
RUST='rgb(169,72,22)'
DARK='rgb(96,38,12)'
LIGHT='rgb(255,236,214)'

# Title strip 800x32: captions centred over the four image buttons, minimize and close marks.
convert -size 800x32 gradient:"rgb(190,92,36)-$DARK" \
  -fill "rgb(120,48,16)" -draw "rectangle 0,30 800,31" \
  -font $F -pointsize 12 -fill "$LIGHT" \
  -draw "text 14,21 'Кварнеля'" \
  -gravity NorthWest \
  -fill "rgb(255,214,170)" \
  -annotate +180+9 'СОДЕРЖАНИЕ' -annotate +316+9 'ПОИСК' \
  -annotate +393+9 'ПЕЧАТЬ' -annotate +500+9 'АНОНС' \
  -stroke "$LIGHT" -strokewidth 2 -draw "line 758,17 770,17" \
  -draw "line 782,6 794,18" -draw "line 794,6 782,18" \
  -type TrueColor BMP3:title.bmp

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

# Contents window 345x337 with the captions "искать/далее" and "закрыть" at the bottom.
convert -size 345x337 xc:"$RUST" \
  -fill none -stroke "rgb(239,154,111)" -strokewidth 2 -draw "rectangle 3,3 341,333" \
  -stroke none -font $F -pointsize 11 -fill "$LIGHT" \
  -annotate +162+309 'искать/далее' -annotate +274+309 'закрыть' \
  -type TrueColor BMP3:contents.bmp

# Search window 384x221 with the captions "искать далее" and "закрыть".
convert -size 384x221 gradient:"$RUST-$DARK" \
  -fill none -stroke "rgb(239,154,111)" -strokewidth 2 -draw "rectangle 3,3 380,217" \
  -stroke none -fill "rgb(239,154,111)" -draw "rectangle 9,15 267,36" \
  -font $F -pointsize 11 -fill "$LIGHT" \
  -annotate +14+213 'искать далее' -annotate +312+213 'закрыть' \
  -type TrueColor BMP3:search.bmp

# Node picture 16x16: a small closed book.
convert -size 16x16 xc:white \
  -fill "$RUST" -draw "rectangle 3,2 12,13" \
  -fill "$LIGHT" -draw "rectangle 5,4 11,6" \
  -fill "$DARK" -draw "rectangle 3,12 12,13" \
  -type TrueColor BMP3:node.bmp

# Tray and window icon: 16x16 in 16 colours.
convert -size 16x16 xc:none -fill "$RUST" -draw "roundrectangle 0,0 15,15 3,3" \
  -font $F -pointsize 12 -fill "$LIGHT" -gravity center -annotate +0+0 'К' \
  -colors 16 icon.ico
