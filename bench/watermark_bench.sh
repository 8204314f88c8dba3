#!/bin/sh
# Times a bulk text-watermark run of pixmar over a folder of large photographs against
# ImageMagick doing the same work in the same run: fit each photograph into the same output
# size, draw the text, save it as JPEG (quality 75, as pixmar writes it).
#
#   bench/watermark_bench.sh [PIXMAR_BINARY]        (default: build/pixmar)
#
# Environment: BENCH_DIR (work folder, default a fresh temporary one), BENCH_COPIES (copies
# of each photograph, default 2), BENCH_SIZE (photograph size, default 3264x2448 = 8 MP).
# Not part of the test suite: timings depend on the machine.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/lib.sh"
pixmar=${1:-$here/build/pixmar}
size=${BENCH_SIZE:-3264x2448}
copies=${BENCH_COPIES:-2}
text=Sample

need_pixmar "$pixmar"
find_imagemagick
find_font

work_dir work
src=$work/src
mkdir -p "$work/pixmar" "$work/im" "$work/im-hint"
rm -f "$work"/pixmar/* "$work"/im/* "$work"/im-hint/*

# Real photographs brought up to camera size (cropped to 4:3), so that each is >= 6 MP.
prepare_photos "$src" "$size" "$copies"
count=$(ls "$src" | wc -l)
echo "photographs: $count of $size in $src"

# pixmar: one process for the whole folder, as a user runs it.
t0=$(now)
"$pixmar" watermark --dir "$src" --target "$work/pixmar" --text "$text" --level 50% --at 20,20 \
    >/dev/null 2>"$work/pixmar.log" || { cat "$work/pixmar.log" >&2; exit 1; }
t1=$(now)
pixmar_s=$(elapsed "$t0" "$t1")

# The output size pixmar chose for each picture (read outside the timings), so that
# ImageMagick writes the same number of pixels. The text is drawn at the preview's 14 pt
# (about 19 px) before pixmar doubles a picture reduced in both directions, so ImageMagick
# draws it at twice that size, 50 % white.
for f in "$src"/*.jpg; do
    name=$(basename "$f")
    echo "$name $("$identify" -format '%wx%h' "$work/pixmar/awtx-$name")"
done >"$work/sizes"

run_im() {   # $1 target folder, $2 extra decoder option
    while read -r name geometry; do
        "$convert" $2 "$src/$name" -resize "$geometry!" -font "$font" -pointsize 37 \
            -fill 'rgba(255,255,255,0.5)' -gravity northwest -annotate +40+40 "$text" \
            -quality 75 "$1/awtx-$name"
    done <"$work/sizes"
}

t0=$(now)
run_im "$work/im" ""
t1=$(now)
im_s=$(elapsed "$t0" "$t1")

# ImageMagick told the output size up front, so that its JPEG decoder may scale down too.
hint=$(head -n 1 "$work/sizes" | cut -d' ' -f2)
t0=$(now)
run_im "$work/im-hint" "-define jpeg:size=$hint"
t1=$(now)
im_hint_s=$(elapsed "$t0" "$t1")

outputs=$(ls "$work/pixmar" | wc -l)
[ "$outputs" -eq "$count" ] || { echo "pixmar wrote $outputs of $count files" >&2; exit 1; }
printf 'output size:                      %s\n' "$(cut -d' ' -f2 "$work/sizes" | sort -u | tr '\n' ' ')"
printf 'pixmar watermark:                 %8.2f s\n' "$pixmar_s"
printf 'ImageMagick:                      %8.2f s   ratio %.1fx\n' "$im_s" "$(echo "$im_s / $pixmar_s" | bc -l)"
printf 'ImageMagick with jpeg:size hint:  %8.2f s   ratio %.1fx\n' "$im_hint_s" "$(echo "$im_hint_s / $pixmar_s" | bc -l)"
