#!/bin/sh
# Times a bulk text watermark at the pictures' own size over 24 HEIC photographs (made with
# the machine's HEIF encoder at 4032 x 3024, half of them portrait) and over 24 PNGs (8 bits a
# channel, as screenshots and exported photos are), taking every picture format, against
# ImageMagick drawing the same text file by file into the same output format (HEIC at the same
# quality, through the same HEIF library) and vips decoding and re-encoding them (no text: the
# least it must do), in the same run; the fastest of BENCH_ROUNDS rounds, with peak memory.
# libvips-tools is downloaded into a temporary folder for the run, never installed.
#
#   bench/formats_bench.sh [PIXMAR_BINARY]        (default: build/pixmar)
#
# Environment: BENCH_DIR (work folder, kept between runs so the photographs are made once),
# BENCH_ROUNDS (default 3), BENCH_KINDS (default "heic png"). Not part of the test suite:
# timings depend on the machine.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/lib.sh"
pixmar=${1:-$here/build/pixmar}
rounds=${BENCH_ROUNDS:-3}

need_pixmar "$pixmar"
find_imagemagick
command -v heif-enc >/dev/null || { echo "heif-enc is needed (libheif-examples)" >&2; exit 2; }
fetch_peers libvips-tools
work_dir bench_work
out=$bench_work/out

# make_set KIND: 24 pictures of KIND (heic or png) in $bench_work/KIND, two made, copied.
make_set() {
    local dir="$bench_work/$1" n
    mkdir -p "$dir"
    [ -z "$(ls "$dir")" ] || return 0
    "$convert" -size 1008x756 -seed 7 plasma:fractal -blur 0x1 -resize 4032x3024! -depth 8 "$bench_work/land.png"
    "$convert" -size 756x1008 -seed 9 plasma:fractal -blur 0x1 -resize 3024x4032! -depth 8 "$bench_work/port.png"
    for shape in land port; do
        if [ "$1" = heic ]; then
            heif-enc -q 80 -o "$dir/$shape-1.heic" "$bench_work/$shape.png" >/dev/null
        else
            cp "$bench_work/$shape.png" "$dir/$shape-1.png"
        fi
        n=2
        while [ "$n" -le 12 ]; do cp "$dir/$shape-1.$1" "$dir/$shape-$n.$1"; n=$((n + 1)); done
    done
}

for kind in ${BENCH_KINDS:-heic png}; do
    make_set "$kind"
    src=$bench_work/$kind
    measure_best pixmar "$rounds" 'fresh_dir "$out"' \
        "$pixmar" watermark --dir "$src" --target "$out" --text Sample --at 20,20 --all-formats --original-size
    pixmar_mb=$(du -sm "$out" | cut -f1)
    measure_best magick "$rounds" 'fresh_dir "$out"' sh -c '
        for f in "$1"/*; do
            n=$(basename "$f"); n=${n%.*}
            "$2" "$f" -fill "rgba(255,255,255,0.3)" -pointsize 37 -annotate +20+57 Sample -quality 75 "$4/$n.$3" || exit 1
        done' sh "$src" "$convert" "$kind" "$out"
    magick_mb=$(du -sm "$out" | cut -f1)
    first=$(ls "$src" | head -n 1)
    vips_reads=yes
    vips copy "$src/$first" "$bench_work/probe.v" >/dev/null 2>&1 || vips_reads=no
    # vips writes PNG without row filters unless told: larger files, made faster. It is timed
    # both ways: as it comes, and filtering as pixmar's encoder does.
    vips_ways="plain"
    [ "$kind" = png ] && vips_ways="plain filtered"
    for way in $vips_ways; do
        [ "$vips_reads" = yes ] || break
        options=""
        [ "$way" = filtered ] && options="[filter=all]"
        measure_best "vips_$way" "$rounds" 'fresh_dir "$out"' sh -c '
            for f in "$1"/*; do
                n=$(basename "$f"); n=${n%.*}
                vips copy "$f" "$3/$n.$2$4" || exit 1
            done' sh "$src" "$kind" "$out" "$options"
        eval "vips_${way}_mb=\$(du -sm \"\$out\" | cut -f1)"
    done
    printf '%s: 24 of 4032x3024 / 3024x4032 (time, peak memory, written)\n' "$kind"
    printf '  pixmar         %7.2f s  %8d kB  %5d MB\n' "$pixmar_s" "$pixmar_kb" "$pixmar_mb"
    printf '  ImageMagick    %7.2f s  %8d kB  %5d MB   ImageMagick / pixmar = %.2f\n' "$magick_s" "$magick_kb" \
        "$magick_mb" "$(ratio "$magick_s" "$pixmar_s")"
    if [ "$vips_reads" = yes ]; then
        for way in $vips_ways; do
            eval "t=\$vips_${way}_s kb=\$vips_${way}_kb mb=\$vips_${way}_mb"
            printf '  vips %-9s %7.2f s  %8d kB  %5d MB   vips / pixmar = %.2f (no text)\n' "$way" "$t" "$kb" "$mb" \
                "$(ratio "$t" "$pixmar_s")"
        done
    else
        printf '  vips           cannot read %s here\n' "$kind"
    fi
done
