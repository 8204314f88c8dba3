#!/bin/sh
# Draws the program's own artwork into data/ (backgrounds, flags, icon). Needs ImageMagick.
# The results are committed; run again only to change the artwork.
set -eu
cd "$(dirname "$0")/../data"
bg() { # file width height colour1 colour2 label
  convert -size "$2x$3" "gradient:$4-$5" \
    \( -size "$2x$3" xc:none -fill 'rgba(255,255,255,0.06)' \
       -draw "circle $(($2*3/4)),$(($3/3)) $(($2*3/4+$3/2)),$(($3/3))" \
       -draw "circle $(($2/5)),$(($3*4/5)) $(($2/5+$3/4)),$(($3*4/5))" \) -composite \
    -font DejaVu-Sans-Bold -pointsize $(($3/14)) -fill 'rgba(255,255,255,0.18)' \
    -gravity southeast -annotate +30+20 "$6" -quality 88 "bg/$1"
}
bg main2i.jpg 1009 635 '#1d3b5a' '#3f7fae' 'Pixmar'
bg bg.jpg 1328 637 '#2b2b36' '#56607a' ''
bg rotate.jpg 1328 637 '#233a2c' '#4f7a5c' ''
bg animbg.jpg 961 600 '#3a2a45' '#6f5a85' ''
bg renbulk.jpg 955 600 '#45362a' '#85705a' ''
# Title on the main background.
convert bg/main2i.jpg -font DejaVu-Sans-Bold -pointsize 64 -fill 'rgba(255,255,255,0.85)' \
  -gravity center -annotate +0-40 'Pixmar' -font DejaVu-Sans -pointsize 20 \
  -fill 'rgba(255,255,255,0.75)' -annotate +0+20 'text · watermark · logo · rotate · GIF · rename' \
  -quality 88 bg/main2i.jpg

# Malaysian flag: 14 red and white stripes, blue canton, yellow crescent and star.
convert -size 60x36 xc:white flags/malaysia.png
i=0
while [ $i -lt 14 ]; do
  if [ $((i%2)) -eq 0 ]; then
    convert flags/malaysia.png -fill '#cc0001' \
      -draw "rectangle 0,$((i*36/14)) 59,$(((i+1)*36/14-1))" flags/malaysia.png
  fi
  i=$((i+1))
done
convert flags/malaysia.png -fill '#010066' -draw 'rectangle 0,0 29,20' \
  -fill '#ffcc00' -draw 'circle 10,10 10,3' -fill '#010066' -draw 'circle 12,10 12,4' \
  -fill '#ffcc00' -draw 'polygon 21,4 22,8 26,8 23,11 24,15 21,12 18,15 19,11 16,8 20,8' \
  flags/malaysia.png
# United Kingdom flag.
convert -size 60x36 xc:'#012169' \
  -stroke white -strokewidth 7 -draw 'line 0,0 59,35' -draw 'line 0,35 59,0' \
  -stroke '#c8102e' -strokewidth 2 -draw 'line 0,0 59,35' -draw 'line 0,35 59,0' \
  -stroke none -fill white -draw 'rectangle 24,0 35,35' -draw 'rectangle 0,12 59,23' \
  -fill '#c8102e' -draw 'rectangle 27,0 32,35' -draw 'rectangle 0,15 59,20' \
  flags/uk.png
# Icon: a framed picture with a sun and hills (packaging/icons/pixmar.svg is the same drawing).
convert -size 128x128 xc:none -fill '#2f5f8a' -draw 'roundrectangle 4,14 123,113 12,12' \
  -fill '#9fd3ff' -draw 'rectangle 14,24 113,103' -fill '#ffd23f' -draw 'circle 88,46 88,34' \
  -fill '#3c8d40' -draw 'polygon 14,103 48,58 74,86 90,70 113,103' pixmar.png
# The desktop's icon sizes, drawn at 256 pixels and scaled down.
convert -size 256x256 xc:none -fill '#2f5f8a' -draw 'roundrectangle 8,28 246,226 24,24' \
  -fill '#9fd3ff' -draw 'rectangle 28,48 226,206' -fill '#ffd23f' -draw 'circle 176,92 176,68' \
  -fill '#3c8d40' -draw 'polygon 28,206 96,116 148,172 180,140 226,206' ../packaging/icons/pixmar-256.png
convert ../packaging/icons/pixmar-256.png -resize 48x48 ../packaging/icons/pixmar-48.png
