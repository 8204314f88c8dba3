#!/bin/bash
# Peak memory of outputs at the picture's own size: pixmar's text, watermark, logo and rotate
# with --original-size on one camera-size photograph, against the goal of 5 bytes per source
# pixel plus 64 MB, and against ImageMagick writing the same kind of output in the same run
# (-auto-orient, the text drawn, the logo composed, the turn; quality 75).
#
#   bench/own_size_memory_bench.sh [PIXMAR_BINARY]        (default: build/pixmar)
#
# Environment: BENCH_DIR (work folder, default a fresh temporary one), BENCH_SIZE (default
# 4000x3008, 12 megapixels). Needs ImageMagick, GNU time (/usr/bin/time), mate-backgrounds.
# Not part of the test suite.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
pixmar=${1:-$here/build/pixmar}
photos=/usr/share/backgrounds/mate/nature
size=${BENCH_SIZE:-4000x3008}

[ -x "$pixmar" ] || { echo "no pixmar binary at $pixmar (build it first)" >&2; exit 2; }
convert=$(command -v convert-im6.q16 || command -v magick || command -v convert) ||
    { echo "ImageMagick is not installed" >&2; exit 2; }
photo=$(ls "$photos"/*.jpg 2>/dev/null | head -n 1)
[ -n "$photo" ] || { echo "no photographs in $photos (install mate-backgrounds)" >&2; exit 2; }

work=${BENCH_DIR:-$(mktemp -d)}
mkdir -p "$work/out"
src=$work/P.jpg
[ -f "$src" ] || "$convert" "$photo" -resize "$size^" -gravity center -extent "$size" -quality 92 "$src"
logo=$work/logo.png
[ -f "$logo" ] || "$convert" -size 200x100 xc:white -fill red -draw "circle 100,50 100,10" "$logo"

font=$(fc-match -f '%{file}' 'Times New Roman')
w=${size%x*}
h=${size#*x}
goal_kb=$(( (5 * w * h + 64 * 1024 * 1024) / 1024 ))
# Peak resident memory of a command in KB; a failed command is named, and counts as 0.
peak() {
    if ! /usr/bin/time -o "$work/peak" -f '%M' "$@" >/dev/null 2>"$work/stderr"; then
        echo "failed: $* ($(tail -n 1 "$work/stderr"))" >&2
        echo 0
        return
    fi
    cat "$work/peak"
}

printf 'photograph %s, goal %d MB (5 bytes a pixel + 64 MB)\n' "$size" "$((goal_kb / 1024))"
printf '%-10s %10s %12s %14s\n' tool pixmar "of goal" ImageMagick
for tool in text watermark logo rotate; do
    rm -f "$work"/out/*
    case $tool in
        text) args=(--text Hello --at 10,10 --size 20) ;;
        watermark) args=(--text Hello --at 10,10 --level 50%) ;;
        logo) args=(--logo "$logo" --at 10,10 --level 50%) ;;
        rotate) args=(--plus) ;;
    esac
    case $tool in
        text | watermark) im=(-auto-orient -font "$font" -pointsize 80 -fill 'rgba(255,255,255,0.5)' -annotate +40+120 Hello) ;;
        logo) im=(-auto-orient "$logo" -geometry +40+40 -compose dissolve -define compose:args=50 -composite) ;;
        rotate) im=(-auto-orient -rotate 90) ;;
    esac
    p=$(peak "$pixmar" "$tool" --file "$src" --target "$work/out" "${args[@]}" --original-size)
    m=$(peak "$convert" "$src" "${im[@]}" -quality 75 "$work/out/im.jpg")
    printf '%-10s %7d MB %11d%% %11d MB\n' "$tool" "$((p / 1024))" "$((100 * p / goal_kb))" "$((m / 1024))"
done
