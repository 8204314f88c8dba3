#!/bin/sh
# Times bulk runs of pixmar (text watermark, logo watermark and quarter turn; fitted output,
# quality 75, as it writes by default)
# over a folder of large photographs, with one thread and with all cores, against two peers
# measured in the same run:
#  - the libjpeg-turbo floor: each photograph decoded by djpeg at the smallest 1/8 scale that
#    is not smaller than the size pixmar decodes it at (the size it is fitted to in the
#    preview; a photograph reduced both ways is written at twice that size), and pixmar's
#    outputs (decoded to PPM before the timing) encoded by cjpeg at quality 75, one process at
#    a time, summed;
#  - vips thumbnail to the same output sizes at Q=75, run over the folder with xargs -P on all
#    cores.
# libjpeg-turbo-progs and libvips-tools are downloaded into a temporary folder for the run
# (apt-get download, dpkg -x), never installed.
#
#   bench/bulk_bench.sh [PIXMAR_BINARY]        (default: build/pixmar)
#
# Environment: BENCH_TOOLS (default "watermark logo rotate"; the vips peer and its ratio come
# with watermark), BENCH_DIR (work folder, default a fresh temporary one), BENCH_COPIES (copies
# of each photograph, default 2), BENCH_SIZE (photograph size, default 4032x3024 = 12 MP),
# BENCH_ROUNDS (each run is repeated this often and the fastest kept, default 3), BENCH_PHOTOS
# (upscaled: the photographs brought up to camera size, the default; detailed: pieces of one
# large photograph full of detail, as large as a camera's files; see lib.sh).
# Not part of the test suite: timings depend on the machine, and on what else runs on it.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/lib.sh"
pixmar=${1:-$here/build/pixmar}
size=${BENCH_SIZE:-4032x3024}
rounds=${BENCH_ROUNDS:-3}
copies=${BENCH_COPIES:-2}
text=Sample
cores=$(nproc)

need_pixmar "$pixmar"
find_imagemagick
command -v xargs >/dev/null || { echo "xargs is missing" >&2; exit 2; }
fetch_peers libjpeg-turbo-progs libvips-tools

work_dir bench_work
src=$bench_work/src
out=$bench_work/out
prepare_set "$src" "$size" "$copies"
count=$(ls "$src" | wc -l)
echo "photographs: $count of $size (${BENCH_PHOTOS:-upscaled}, $(du -sh "$src" | cut -f1)) in $src; $cores cores; the fastest of $rounds rounds"

# The thread count is a newer flag: without it pixmar runs its default only.
jobs_flag "$pixmar"
tools=${BENCH_TOOLS:-watermark logo rotate}
logo=$bench_work/logo.png
"$convert" -size 240x90 xc:none -fill white -stroke black -strokewidth 3 -draw "roundrectangle 4,4 235,85 18,18" "$logo"

# tool_args TOOL: the arguments of TOOL after the folders; its outputs' prefix into $prefix.
tool_args() {
    case $1 in
        watermark) prefix=awtx- args="--text $text --at 20,20" ;;
        logo) prefix=awlo- args="--logo $logo --at 20,20" ;;
        rotate) prefix=rot- args="--plus" ;;
    esac
}

# run_pixmar TOOL NAME [THREADS]: the whole folder in one process, as a user runs it.
run_pixmar() {
    tool=$1 name=$2
    shift 2
    jobs_args "$@"
    tool_args "$tool"
    # shellcheck disable=SC2086 # the thread count's and the tool's words
    measure_best "$name" "$rounds" "fresh_dir '$out/$name'" "$pixmar" $jobs_before "$tool" --dir "$src" \
        --target "$out/$name" $args $jobs_after
    written=$(ls "$out/$name" | wc -l)
    [ "$written" -eq "$count" ] || { echo "pixmar ($name) wrote $written of $count files" >&2; exit 1; }
}

# floor_of TOOL NAME: the libjpeg-turbo floor for the outputs pixmar wrote into $out/NAME, into
# $floor_s; the sizes and decoder scales into $bench_work/sizes-TOOL.
floor_of() {
    tool_args "$1"
    run=$2
    sizes=$bench_work/sizes-$1
    ppm=$bench_work/ppm
    rm -rf "$ppm" && mkdir -p "$ppm"
    for f in "$src"/*.jpg; do
        name=$(basename "$f")
        set -- $("$identify" -format '%w %h' "$f") $("$identify" -format '%w %h' "$out/$run/$prefix$name")
        # A turned output has its sides swapped against the source.
        if [ "$tool" = rotate ]; then set -- "$1" "$2" "$4" "$3"; fi
        # The size pixmar decodes at: the fitted preview, half the output when it was doubled.
        dw=$3 dh=$4
        if [ "$1" -gt "$3" ] && [ "$2" -gt "$4" ]; then
            dw=$(($3 / 2)) dh=$(($4 / 2))
        fi
        m=1
        while [ "$m" -lt 8 ] && { [ $((($1 * m + 7) / 8)) -lt "$dw" ] || [ $((($2 * m + 7) / 8)) -lt "$dh" ]; }; do
            m=$((m + 1))
        done
        echo "$name $3 $4 $m"
        djpeg -outfile "$ppm/${name%.jpg}.ppm" "$out/$run/$prefix$name"
    done >"$sizes"
    # One process at a time, so one core.
    measure_best floor_decode "$rounds" : sh -c 'while read -r name w h m; do djpeg -scale "$m/8" -outfile /dev/null "$1/$name"; done <"$2"' \
        sh "$src" "$sizes"
    measure_best floor_encode "$rounds" "fresh_dir '$out/floor'" sh -c 'for f in "$1"/*.ppm; do b=${f##*/}; cjpeg -quality 75 -outfile "$2/${b%.ppm}.jpg" "$f"; done' \
        sh "$ppm" "$out/floor"
    floor_s=$(echo "$floor_decode_s + $floor_encode_s" | bc)
}

report=""
for tool in $tools; do
    if [ -n "$jobs_flag" ]; then
        run_pixmar "$tool" one 1
        run_pixmar "$tool" all "$cores"
        floor_of "$tool" one
        report="$report$(printf '\n%s:\n' "$tool")"
        report="$report$(printf '\n  floor, one core:            %8.2f s  (djpeg %.2f s + cjpeg %.2f s)' "$floor_s" "$floor_decode_s" "$floor_encode_s")"
        report="$report$(printf '\n  pixmar, 1 thread:           %8.2f s  peak %d MB' "$one_s" $((one_kb / 1024)))"
        report="$report$(printf '\n  pixmar, %d cores:            %8.2f s  peak %d MB' "$cores" "$all_s" $((all_kb / 1024)))"
        report="$report$(printf '\n  pixmar 1 thread / floor:    %8.2f   (goal <= 1.2)' "$(ratio "$one_s" "$floor_s")")"
        report="$report$(printf '\n  pixmar all cores / floor:   %8.2f   (goal < 1)' "$(ratio "$all_s" "$floor_s")")"
        report="$report$(printf '\n  pixmar 1 thread / %d cores:  %8.2f   (goal >= 1.8 on 2 cores)' "$cores" "$(ratio "$one_s" "$all_s")")"
        [ "$tool" = watermark ] && pixmarN_s=$all_s
    else
        run_pixmar "$tool" one
        floor_of "$tool" one
        report="$report$(printf '\n%s (pixmar has no --jobs flag: its default run only):' "$tool")"
        report="$report$(printf '\n  floor, one core:            %8.2f s' "$floor_s")"
        report="$report$(printf '\n  pixmar, default:            %8.2f s  peak %d MB' "$one_s" $((one_kb / 1024)))"
        report="$report$(printf '\n  pixmar default / floor:     %8.2f' "$(ratio "$one_s" "$floor_s")")"
        [ "$tool" = watermark ] && pixmarN_s=$one_s
    fi
done
[ -f "$bench_work/sizes-watermark" ] || { echo "$report"; exit 0; }

# vips: the watermark's output sizes, every core busy.
measure_best vips "$rounds" "fresh_dir '$out/vips'" sh -c 'cd "$1" && cut -d" " -f1-3 "$2" |
    xargs -P "$4" -n 3 sh -c '\''vips thumbnail "$1" "$0/$1[Q=75]" "$2" --height "$3"'\'' "$3"' \
    sh "$src" "$bench_work/sizes-watermark" "$out/vips" "$cores"
written=$(ls "$out/vips" | wc -l)
[ "$written" -eq "$count" ] || { echo "vips wrote $written of $count files" >&2; exit 1; }

printf 'output size (watermark):    %s\n' "$(cut -d' ' -f2,3 "$bench_work/sizes-watermark" | tr ' ' x | sort -u | tr '\n' ' ')"
printf 'decoder scale (of 8):       %s\n' "$(cut -d' ' -f4 "$bench_work/sizes-watermark" | sort -u | tr '\n' ' ')"
echo "$report"
printf '\nvips thumbnail, %d cores:    %8.2f s\n' "$cores" "$vips_s"
printf 'vips / pixmar watermark:    %8.2f   (goal >= 2.5)\n' "$(ratio "$vips_s" "$pixmarN_s")"
