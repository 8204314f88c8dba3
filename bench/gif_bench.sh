#!/bin/bash
# Animated GIF build: Pixmar against ImageMagick and ffmpeg (a palette per frame), measured in
# the same run on the same pictures: wall time, peak resident memory, file size, and the PSNR
# of every decoded frame against its source picture (frames decoded by ffmpeg, compared by
# ImageMagick, so neither number comes from Pixmar's own code).
#
# Not part of the test suite and never run in CI: it takes a minute or two and its figures
# depend on the machine.
#
#   bench/gif_bench.sh [--pixmar PATH] [--work DIR] [--frames N] [--memory]
#
# --frames N   pictures in the animation (60)
# --memory     also build 20 and 200 frames of 1920 x 1080 with Pixmar alone, to show that
#              peak memory stays flat as the frame count grows (goal: under 300 MB at 200)
#
# Needs: imagemagick, ffmpeg, gifsicle, mate-backgrounds, GNU time (/usr/bin/time).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
pixmar="$here/build/pixmar"
work=""
frames=60
memory=0
while [ $# -gt 0 ]; do
    case "$1" in
        --pixmar) pixmar=$2; shift 2 ;;
        --work) work=$2; shift 2 ;;
        --frames) frames=$2; shift 2 ;;
        --memory) memory=1; shift ;;
        *) echo "usage: $0 [--pixmar PATH] [--work DIR] [--frames N] [--memory]" >&2; exit 2 ;;
    esac
done
sources=(/usr/share/backgrounds/mate/nature/*.jpg)
for tool in convert compare ffmpeg gifsicle /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
[ -x "$pixmar" ] || { echo "no pixmar at $pixmar (build it, or give --pixmar)" >&2; exit 2; }
[ -e "${sources[0]}" ] || { echo "no pictures in /usr/share/backgrounds/mate/nature" >&2; exit 2; }
if [ -z "$work" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"

# make_frames DIR COUNT WIDTH HEIGHT: distinct pictures cut from different regions of the
# photographs (a 4:3 window of 100 % down to 45 % of the picture, moved around), scaled to
# WIDTH x HEIGHT. Kept between runs when --work is given.
make_frames() {
    local dir=$1 count=$2 w=$3 h=$4 i=0
    mkdir -p "$dir"
    [ "$(ls "$dir" | grep -c '\.jpg$' || true)" -eq "$count" ] && return 0
    rm -f "$dir"/*.jpg
    while [ $i -lt "$count" ]; do
        local src=${sources[$((i % ${#sources[@]}))]} k=$((i / ${#sources[@]}))
        read -r sw sh < <(identify -format '%w %h\n' "$src")
        # window size and position from k: sizes 100, 89, 78, 67, 56, 45 %, positions spread
        local geometry
        geometry=$(awk -v sw="$sw" -v sh="$sh" -v k="$k" -v ar="$(awk -v w="$w" -v h="$h" 'BEGIN{print w/h}')" 'BEGIN {
            f = 1.0 - 0.11 * (k % 6);
            cw = (sw / sh > ar ? sh * ar : sw) * f; ch = cw / ar;
            px = ((k * 37) % 11) / 10; py = ((k * 53) % 7) / 6;
            printf "%dx%d+%d+%d", cw, ch, (sw - cw) * px, (sh - ch) * py }')
        printf -v name '%s/f%03d.jpg' "$dir" "$i"
        convert "$src" -crop "$geometry" +repage -resize "${w}x${h}!" -quality 92 "$name"
        i=$((i + 1))
    done
}

# measure NAME COMMAND...: wall seconds and peak resident kB of one run, into $NAME_s/$NAME_kb
measure() {
    local name=$1; shift
    /usr/bin/time -v -o "$work/$name.time" "$@" >"$work/$name.out" 2>"$work/$name.err" || {
        echo "$name failed:" >&2; cat "$work/$name.err" >&2; exit 1; }
    local s kb
    s=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); t = 0;
        for (i = 1; i <= n; i++) t = t * 60 + p[i]; print t }' "$work/$name.time")
    kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/$name.time")
    printf -v "${name}_s" '%s' "$s"
    printf -v "${name}_kb" '%s' "$kb"
}

# psnr NAME GIF: per-frame PSNR (dB) against the sources, one per line, into $work/NAME.psnr
psnr() {
    local name=$1 gif=$2 out="$work/$1.frames"
    rm -rf "$out" && mkdir -p "$out"
    ffmpeg -v error -i "$gif" -fps_mode passthrough "$out/%03d.png"
    local n
    n=$(ls "$out" | wc -l)
    [ "$n" -eq "$frames" ] || { echo "$name: $n frames decoded, $frames expected" >&2; exit 1; }
    : >"$work/$name.psnr"
    for ((i = 0; i < frames; i++)); do
        printf -v src '%s/f%03d.jpg' "$work/frames" "$i"
        printf -v dec '%s/%03d.png' "$out" "$((i + 1))"
        # compare prints the figure on standard error and exits 1 when the pictures differ
        { compare -metric PSNR "$src" "$dec" null: 2>&1 || true; } | awk '{ print $1 }' >>"$work/$name.psnr"
    done
}

stats() { awk '{ s += $1; if (NR == 1 || $1 < m) m = $1 } END { printf "%.2f %.2f\n", s / NR, m }' "$1"; }

echo "making $frames frames of 1000 x 750 from ${#sources[@]} photographs in $work/frames ..."
make_frames "$work/frames" "$frames" 1000 750
rm -f "$work/frames/Pixmar-anim.gif"

echo "building the three GIFs (delay 10/100 s, loop for ever) ..."
measure pixmar "$pixmar" gif --delay 10 "$work/frames"
mv "$work/frames/Pixmar-anim.gif" "$work/pixmar.gif"
measure magick convert -delay 10 -loop 0 "$work"/frames/f*.jpg "$work/magick.gif"
measure ffmpeg ffmpeg -v error -y -framerate 10 -i "$work/frames/f%03d.jpg" \
    -vf "split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1" \
    -loop 0 "$work/ffmpeg.gif"

# Pixmar's file as another reader sees it: frame count, delays, loop.
info=$(gifsicle --info "$work/pixmar.gif")
count=$(grep -c '+ image #' <<<"$info")
delays=$(grep -o 'delay [0-9.]*s' <<<"$info" | sort -u | tr '\n' ' ')
loop=$(grep -o 'loop forever' <<<"$info" || echo "no loop")
echo "pixmar.gif per gifsicle: $count frames, ${delays:-no delays}, $loop"
[ "$count" -eq "$frames" ] || { echo "wrong frame count" >&2; exit 1; }

echo "PSNR of every frame against its source ..."
for t in pixmar magick ffmpeg; do psnr "$t" "$work/$t.gif"; done

size() { stat -c %s "$1"; }
printf '\n%-12s %9s %10s %11s %11s %9s\n' tool "time s" "peak MB" "size MB" "PSNR mean" "PSNR min"
for t in pixmar magick ffmpeg; do
    s_var="${t}_s"; kb_var="${t}_kb"
    read -r mean min < <(stats "$work/$t.psnr")
    printf '%-12s %9.2f %10.1f %11.2f %11.2f %9.2f\n' "$t" "${!s_var}" \
        "$(awk -v k="${!kb_var}" 'BEGIN{print k/1024}')" \
        "$(awk -v b="$(size "$work/$t.gif")" 'BEGIN{print b/1e6}')" "$mean" "$min"
done

worse=$(paste "$work/pixmar.psnr" "$work/ffmpeg.psnr" | awk '$1 < $2 { n++ } END { print n + 0 }')
read -r px_mean _ < <(stats "$work/pixmar.psnr")
read -r ff_mean _ < <(stats "$work/ffmpeg.psnr")
read -r im_mean _ < <(stats "$work/magick.psnr")
awk -v ps="$pixmar_s" -v fs="$ffmpeg_s" -v ms="$magick_s" \
    -v pk="$pixmar_kb" -v fk="$ffmpeg_kb" -v mk="$magick_kb" \
    -v pz="$(size "$work/pixmar.gif")" -v fz="$(size "$work/ffmpeg.gif")" -v mz="$(size "$work/magick.gif")" \
    -v pq="$px_mean" -v fq="$ff_mean" -v mq="$im_mean" -v worse="$worse" -v n="$frames" 'BEGIN {
    printf "\nratios (Pixmar against each):\n"
    printf "  speed:  %.2fx ffmpeg, %.2fx ImageMagick (times faster)\n", fs / ps, ms / ps
    printf "  memory: %.2fx ffmpeg, %.2fx ImageMagick (peak resident)\n", pk / fk, pk / mk
    printf "  size:   %.2fx ffmpeg, %.2fx ImageMagick\n", pz / fz, pz / mz
    printf "  PSNR:   %+.2f dB against ffmpeg, %+.2f dB against ImageMagick (mean); below ffmpeg in %d of %d frames\n", pq - fq, pq - mq, worse, n
    printf "\ngoals: twice as fast as ffmpeg: %s; PSNR at least as high: %s; size within 20%%: %s\n",
        (fs / ps >= 2 ? "met" : "NOT met"), (pq >= fq ? "met" : "NOT met"),
        (pz / fz <= 1.2 && pz / fz >= 0.8 ? "met" : "NOT met") }'

if [ "$memory" -eq 1 ]; then
    echo
    echo "peak memory against frame count, 1920 x 1080 (Pixmar alone) ..."
    make_frames "$work/hd200" 200 1920 1080
    mkdir -p "$work/hd20"
    for ((i = 0; i < 20; i++)); do printf -v f 'f%03d.jpg' "$i"; ln -sf "$work/hd200/$f" "$work/hd20/$f"; done
    for n in 20 200; do
        rm -f "$work/hd$n/Pixmar-anim.gif"
        measure "hd$n" "$pixmar" gif --delay 10 "$work/hd$n"
        s_var="hd${n}_s"; kb_var="hd${n}_kb"
        printf '  %3d frames: %6.2f s, peak %6.1f MB, file %6.1f MB\n' "$n" "${!s_var}" \
            "$(awk -v k="${!kb_var}" 'BEGIN{print k/1024}')" \
            "$(awk -v b="$(size "$work/hd$n/Pixmar-anim.gif")" 'BEGIN{print b/1e6}')"
        rm -f "$work/hd$n/Pixmar-anim.gif"
    done
    awk -v a="$hd20_kb" -v b="$hd200_kb" 'BEGIN {
        printf "  200 against 20 frames: %.2fx the peak memory; under 300 MB at 200: %s\n", b / a,
            (b / 1024 < 300 ? "met" : "NOT met") }'
fi
