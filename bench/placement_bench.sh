#!/bin/sh
# Times a bulk text watermark over a folder of mixed landscape and portrait photographs with
# the mark placed relative to each picture, and anchored in a corner, against the same run
# placed as clicked (the peer: the same program without placement work), fastest of three
# rounds each. Placement is worked out from sizes known before drawing, so the ratios should
# stay within a few per cent of 1.
#
#   bench/placement_bench.sh [PIXMAR_BINARY]        (default: build/pixmar)
#
# Environment: BENCH_DIR (work folder, default a fresh temporary one), BENCH_COPIES (copies
# of each of the two photographs, default 12), BENCH_ROUNDS (default 3).
# Not part of the test suite: timings depend on the machine.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/lib.sh"
pixmar=${1:-$here/build/pixmar}
copies=${BENCH_COPIES:-12}
rounds=${BENCH_ROUNDS:-3}

need_pixmar "$pixmar"
find_imagemagick
work_dir work
bench_work=$work
src=$work/src
out=$work/out
mkdir -p "$src" "$out"

# Two photograph-sized pictures of fine random detail (a camera's 4032 x 3024, one of each
# orientation), copied to make a folder as a phone leaves it.
if [ -z "$(ls "$src")" ]; then
    "$convert" -size 1008x756 -seed 7 plasma:fractal -blur 0x1 -resize 4032x3024! -quality 92 "$src/land-1.jpg"
    "$convert" -size 756x1008 -seed 9 plasma:fractal -blur 0x1 -resize 3024x4032! -quality 92 "$src/port-1.jpg"
    n=2
    while [ "$n" -le "$copies" ]; do
        cp "$src/land-1.jpg" "$src/land-$n.jpg"
        cp "$src/port-1.jpg" "$src/port-$n.jpg"
        n=$((n + 1))
    done
fi
echo "photographs: $(ls "$src" | wc -l) of 4032x3024 and 3024x4032 in $src"

mark="watermark --dir $src --target $out --text Sample2026"
measure_best clicked "$rounds" 'fresh_dir "$out"' "$pixmar" $mark --at 300,200
measure_best relative "$rounds" 'fresh_dir "$out"' "$pixmar" $mark --at 300,200 --placement relative
measure_best anchored "$rounds" 'fresh_dir "$out"' "$pixmar" $mark --anchor se --margin 3% --mark-size 20%

printf 'as clicked   %6.2f s  %7d kB\n' "$clicked_s" "$clicked_kb"
printf 'relative     %6.2f s  %7d kB   relative / clicked = %.3f\n' "$relative_s" "$relative_kb" \
    "$(ratio "$relative_s" "$clicked_s")"
printf 'anchored se  %6.2f s  %7d kB   anchored / clicked = %.3f\n' "$anchored_s" "$anchored_kb" \
    "$(ratio "$anchored_s" "$clicked_s")"
