#!/bin/sh
# Today's photographs at their own size, pixmar against peers measured in the same run:
#  - a text watermark at the original size (upright by the EXIF orientation, quality 92, photo
#    information kept) against ImageMagick (-auto-orient, -annotate, same quality, metadata
#    kept) and vips (autorotate on load, text, composite), one photograph after another; the
#    time ratios and the peak memory of each job against the budget of 5 bytes per source
#    pixel plus 64 MB;
#  - a quarter turn at the original size, lossless and re-encoded, against jpegtran -rotate 90
#    -perfect -copy all run over the same photographs in a loop.
# The photographs carry camera information in EXIF, every other one the orientation 6 (turned
# a quarter clockwise to be upright), as a camera held upright writes it. Their sides are
# whole JPEG blocks, so that every turn can be lossless. libjpeg-turbo-progs and
# libvips-tools are downloaded into a temporary folder for the run, never installed.
#
#   bench/photo_bench.sh [PIXMAR_BINARY]        (default: build/pixmar)
#
# Environment: BENCH_DIR (work folder, default a fresh temporary one), BENCH_SIZE (photograph
# size, sides multiples of 16, default 4032x3024 = 12 MP), BENCH_ROUNDS (each run is repeated
# this often and the fastest kept, default 2), BENCH_PHOTOS (upscaled: the photographs brought
# up to camera size, the default; detailed: pieces of one large photograph full of detail, as
# large as a camera's files; see lib.sh).
# Not part of the test suite: timings depend on the machine, and on what else runs on it.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/lib.sh"
pixmar=${1:-$here/build/pixmar}
size=${BENCH_SIZE:-4032x3024}
rounds=${BENCH_ROUNDS:-2}
text=Sample

need_pixmar "$pixmar"
find_imagemagick
command -v perl >/dev/null || { echo "perl is missing" >&2; exit 2; }
width=${size%x*}
height=${size#*x}
[ $((width % 16)) -eq 0 ] && [ $((height % 16)) -eq 0 ] ||
    { echo "BENCH_SIZE $size: both sides must be multiples of 16" >&2; exit 2; }
fetch_peers libjpeg-turbo-progs libvips-tools

work_dir bench_work
src=$bench_work/src
out=$bench_work/out
prepare_set "$src" "$size" 1

# set_exif ORIENTATION FILE: the file's EXIF replaced by a camera's few fields and the given
# orientation (placed after the JFIF header, where cameras' files keep it too).
set_exif() {
    perl -e '
        use strict;
        my ($orientation, $path) = @ARGV;
        open(my $in, "<:raw", $path) or die "$path: $!";
        local $/;
        my $jpeg = <$in>;
        close $in;
        substr($jpeg, 0, 2) eq "\xFF\xD8" or die "$path: not a JPEG";
        my @fields = ([0x010F, 2, "Pixmar Bench Camera\0"], [0x0110, 2, "Model 12\0"],
                      [0x0112, 3, $orientation], [0x0132, 2, "2026:12:09 10:00:00\0"]);
        my $data_at = 8 + 2 + 12 * @fields + 4;
        my ($ifd, $data) = (pack("n", scalar @fields), "");
        for my $f (@fields) {
            my ($tag, $type, $value) = @$f;
            if ($type == 3) {
                $ifd .= pack("nnNnn", $tag, 3, 1, $value, 0);
            } else {
                $ifd .= pack("nnNN", $tag, 2, length $value, $data_at + length $data);
                $data .= $value;
                $data .= "\0" if length($data) % 2;
            }
        }
        my $exif = "Exif\0\0MM\0\x2a" . pack("N", 8) . $ifd . pack("N", 0) . $data;
        my $app1 = "\xFF\xE1" . pack("n", 2 + length $exif) . $exif;
        my ($head, $rest, $at) = ("\xFF\xD8", "", 2);
        while (1) {
            my ($ff, $marker, $len) = unpack("CCn", substr($jpeg, $at, 4));
            $ff == 0xFF or die "$path: broken marker";
            last if $marker == 0xDA;
            my $segment = substr($jpeg, $at, 2 + $len);
            if ($marker == 0xE0 && $rest eq "") { $head .= $segment; }
            elsif (!($marker == 0xE1 && substr($segment, 4, 6) eq "Exif\0\0")) { $rest .= $segment; }
            $at += 2 + $len;
        }
        open(my $out, ">:raw", "$path.tmp") or die "$path.tmp: $!";
        print $out $head, $app1, $rest, substr($jpeg, $at);
        close $out or die "$path.tmp: $!";
        rename("$path.tmp", $path) or die "$path: $!";
    ' "$1" "$2"
}

# Every other photograph turned; the two kinds also apart (hard links) for the turns, since
# pixmar turns only upright files without decoding them.
mkdir -p "$bench_work/upright" "$bench_work/turned"
i=0
for f in "$src"/*.jpg; do
    name=$(basename "$f")
    if [ $((i % 2)) -eq 0 ]; then orientation=1 kind=upright; else orientation=6 kind=turned; fi
    set_exif "$orientation" "$f"
    ln -f "$f" "$bench_work/$kind/$name"
    i=$((i + 1))
done
count=$(ls "$src" | wc -l)
upright=$(ls "$bench_work/upright" | wc -l)
turned=$(ls "$bench_work/turned" | wc -l)
[ "$("$identify" -format '%[orientation]' "$bench_work/turned/$(ls "$bench_work/turned" | head -n 1)")" = RightTop ] ||
    { echo "the EXIF orientation did not take" >&2; exit 1; }
echo "photographs: $count of $size (${BENCH_PHOTOS:-upscaled}, $(du -sh "$src" | cut -f1);" \
    "$upright upright, $turned with orientation 6) in $src;" \
    "the fastest of $rounds rounds"

# The thread count is a newer flag; where it exists, the memory of one job is measured with
# one job at a time.
jobs_flag "$pixmar"

# The text as pixmar draws it at the original size: 37 px at the click's 20,20 on the fitted
# output (the preview's 14 pt at 10,10, doubled with the picture), both scaled by the upright
# photograph's width against the fitted output's; read from a fitted run outside the timings.
fresh_dir "$bench_work/fitted"
"$pixmar" watermark --dir "$src" --target "$bench_work/fitted" --text "$text" --at 10,10 >/dev/null
for f in "$src"/*.jpg; do
    name=$(basename "$f")
    upright_width=$width
    [ -e "$bench_work/turned/$name" ] && upright_width=$height
    fitted_width=$("$identify" -format '%w' "$bench_work/fitted/awtx-$name")
    echo "$name $(((37 * upright_width + fitted_width / 2) / fitted_width))" \
        "$(((20 * upright_width + fitted_width / 2) / fitted_width))"
done >"$bench_work/text"
find_font

# watermark NAME [THREADS]: pixmar over the folder, its default thread count or THREADS.
watermark() {
    name=$1
    shift
    jobs_args "$@"
    # shellcheck disable=SC2086 # the thread count's words
    measure_best "$name" "$rounds" "fresh_dir '$out/$name'" "$pixmar" $jobs_before watermark --dir "$src" \
        --target "$out/$name" --text "$text" --at 10,10 --original-size --quality 92 --keep-metadata $jobs_after
}
watermark pixmar_wm
[ -z "$jobs_flag" ] || watermark pixmar_wm1 1
measure_best im_wm "$rounds" "fresh_dir '$out/im_wm'" sh -c '
    while read -r name px at; do
        "$2" "$1/$name" -auto-orient -font "$3" -pointsize "$px" -fill "rgba(255,255,255,0.5)" \
            -gravity northwest -annotate "+$at+$at" "$4" -quality 92 "$5/awtx-$name" || exit 1
    done <"$6"' sh "$src" "$convert" "$font" "$text" "$out/im_wm" "$bench_work/text"
# vips: the text as a half-transparent white picture (one for each text size), laid over each
# photograph made upright as it is read (the loader's autorotate, which is vips' autorot).
measure_best vips_wm "$rounds" "fresh_dir '$out/vips_wm'" sh -c '
    cd "$2" || exit 1
    while read -r name px at; do
        if [ ! -e "overlay$px.v" ]; then
            vips text mask.v "$3" --fontfile "$4" --font "$5 $px" --dpi 72 &&
            vips linear mask.v white.v "0 0 0" "255 255 255" --uchar &&
            vips linear mask.v alpha.v 0.5 0 --uchar &&
            vips bandjoin "white.v alpha.v" rgba.v &&
            vips copy rgba.v "overlay$px.v" --interpretation srgb || exit 1
        fi
        vips composite2 "$1/$name[autorotate]" "overlay$px.v" "awtx-$name[Q=92]" over \
            --x "$at" --y "$at" || exit 1
    done <"$6"
    rm -f ./*.v' sh "$src" "$out/vips_wm" "$text" "$font" "$font_family" "$bench_work/text"

# Every tool did the same work: all files written, the turned ones upright, the camera's
# information still in them.
camera=$("$identify" -format '%[EXIF:Make]' "$src/$(ls "$src" | head -n 1)")
for tool in pixmar_wm im_wm vips_wm; do
    written=$(ls "$out/$tool" | wc -l)
    [ "$written" -eq "$count" ] || { echo "$tool wrote $written of $count files" >&2; exit 1; }
    turned_out="$out/$tool/awtx-$(ls "$bench_work/turned" | head -n 1)"
    [ "$("$identify" -format '%h' "$turned_out")" -eq "$width" ] ||
        { echo "$tool's output of a turned photograph is not upright: $turned_out" >&2; exit 1; }
    [ "$("$identify" -format '%[EXIF:Make]' "$turned_out")" = "$camera" ] ||
        { echo "$tool left the photo information out: $turned_out" >&2; exit 1; }
done

# Quarter turns: pixmar over each kind, lossless and re-encoded, and jpegtran over the same
# files one after another.
for kind in upright turned; do
    measure_best "${kind}_lossless" "$rounds" "fresh_dir '$out/${kind}_lossless'" "$pixmar" rotate \
        --dir "$bench_work/$kind" --target "$out/${kind}_lossless" --plus --original-size --lossless --keep-metadata
    measure_best "${kind}_reencode" "$rounds" "fresh_dir '$out/${kind}_reencode'" "$pixmar" rotate \
        --dir "$bench_work/$kind" --target "$out/${kind}_reencode" --plus --original-size --keep-metadata
    measure_best "${kind}_jpegtran" "$rounds" "fresh_dir '$out/${kind}_jpegtran'" sh -c '
        for f in "$1"/*.jpg; do jpegtran -rotate 90 -perfect -copy all -outfile "$2/${f##*/}" "$f"; done' \
        sh "$bench_work/$kind" "$out/${kind}_jpegtran"
done

# The lossless turn is the very turn jpegtran makes: the same pixels.
first=$(ls "$bench_work/upright" | head -n 1)
differ=$("$compare" -metric AE "$out/upright_lossless/rot-$first" "$out/upright_jpegtran/$first" null: 2>&1 || true)
[ "$differ" = 0 ] || echo "note: pixmar's lossless turn of $first differs from jpegtran's in $differ pixels"

mb() { echo $(($1 / 1024)); }
budget_mb=$(((5 * width * height + 64 * 1048576) / 1048576))
echo
echo "watermark at the original size, quality 92, information kept ($count photographs):"
printf '  %-44s %8s %10s\n' "" "time s" "peak MB"
printf '  %-44s %8.2f %10d\n' "pixmar" "$pixmar_wm_s" "$(mb "$pixmar_wm_kb")"
[ -z "$jobs_flag" ] || printf '  %-44s %8.2f %10d\n' "pixmar --jobs 1" "$pixmar_wm1_s" "$(mb "$pixmar_wm1_kb")"
printf '  %-44s %8.2f %10d\n' "ImageMagick" "$im_wm_s" "$(mb "$im_wm_kb")"
printf '  %-44s %8.2f %10d\n' "vips" "$vips_wm_s" "$(mb "$vips_wm_kb")"
printf '  ImageMagick / pixmar: %.2f (goal >= 3); vips / pixmar: %.2f (goal > 1)\n' \
    "$(ratio "$im_wm_s" "$pixmar_wm_s")" "$(ratio "$vips_wm_s" "$pixmar_wm_s")"
job_kb=$pixmar_wm_kb
[ -z "$jobs_flag" ] || job_kb=$pixmar_wm1_kb
printf '  pixmar peak per job: %d MB against the budget %d MB (5 B x %d px + 64 MB): %s\n' \
    "$(mb "$job_kb")" "$budget_mb" $((width * height)) \
    "$([ "$(mb "$job_kb")" -lt "$budget_mb" ] && echo met || echo NOT met)"
echo
echo "quarter turn at the original size:"
printf '  %-44s %8s %10s\n' "" "time s" "peak MB"
for kind in upright turned; do
    n=$(ls "$bench_work/$kind" | wc -l)
    for run in lossless reencode jpegtran; do
        eval "s=\$${kind}_${run}_s kb=\$${kind}_${run}_kb"
        case $run in
            lossless) label="pixmar --lossless" ;;
            reencode) label="pixmar, re-encoded (quality 75)" ;;
            jpegtran) label="jpegtran -perfect -copy all" ;;
        esac
        printf '  %-44s %8.2f %10d\n' "$label, $n $kind" "$s" "$(mb "$kb")"
    done
done
printf '  upright: pixmar --lossless / jpegtran: %.2f (goal <= 1.3); re-encoded / jpegtran: %.2f\n' \
    "$(ratio "$upright_lossless_s" "$upright_jpegtran_s")" "$(ratio "$upright_reencode_s" "$upright_jpegtran_s")"
printf '  turned:  pixmar --lossless / jpegtran: %.2f; re-encoded / jpegtran: %.2f\n' \
    "$(ratio "$turned_lossless_s" "$turned_jpegtran_s")" "$(ratio "$turned_reencode_s" "$turned_jpegtran_s")"
echo "  (jpegtran leaves orientation 6 in the turned files, so its outputs of those stand the wrong way)"
