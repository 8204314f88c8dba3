#!/bin/bash
# Animated GIF build: Pixmar against gifski, ImageMagick and ffmpeg (a palette per frame),
# measured in the same run on the same pictures: wall time, processor time, peak resident
# memory, file size, and the PSNR of every decoded frame against its source picture (frames
# decoded by ffmpeg, compared by ImageMagick, so neither number comes from Pixmar's own code).
#
# What is timed is what a user waits for: each tool's whole command, from its start until the
# GIF is complete (Pixmar's includes starting up, listing the folders as the command does and
# flushing the file to the disk). gifski reads only PNG pictures: its own run is timed from
# PNG frames made beforehand, and the time to make them from the JPEGs (one ffmpeg command)
# is shown apart, with the ratio a user starting from the JPEGs would see. The tools take
# turns, round after round, and each keeps its fastest round: on a machine shared with other
# work the fastest run is the one least disturbed. Processor time is shown beside it, as it
# moves less with the load; the load average is printed before and after.
#
# Two frame sets: "distinct", pictures cut from different photographs, and "burst", one
# photograph panned and zoomed slowly, as a burst of shots or frames of a video would be.
#
# Not part of the test suite and never run in CI: it takes minutes and its figures depend on
# the machine.
#
#   bench/gif_bench.sh [--pixmar PATH] [--work DIR] [--frames N] [--burst N] [--gifski]
#                      [--rounds N] [--memory]
#
# --frames N   pictures in the distinct set (60)
# --burst N    pictures in the burst set (120; 0 leaves the set out)
# --gifski     fetch gifski (the npm package, which carries a Linux binary) into a temporary
#              folder and add it to the tables, with Pixmar's ratios against it; without
#              npm or the registry it is left out with a note.
# --rounds N   turns each tool takes on each set, the fastest kept (3)
# --memory     also build 20 and 200 frames of 1920 x 1080 with Pixmar alone, to show that
#              peak memory stays flat as the frame count grows (goal: under 300 MB at 200)
#
# Needs: imagemagick, ffmpeg, gifsicle, mate-backgrounds, GNU time (/usr/bin/time).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/bench/lib.sh"
pixmar="$here/build/pixmar"
work=""
frames=60
burst=120
memory=0
want_gifski=0
rounds=3
usage="usage: $0 [--pixmar PATH] [--work DIR] [--frames N] [--burst N] [--gifski] [--rounds N] [--memory]"
while [ $# -gt 0 ]; do
    case "$1" in
        --pixmar) pixmar=$2; shift 2 ;;
        --work) work=$2; shift 2 ;;
        --frames) frames=$2; shift 2 ;;
        --burst) burst=$2; shift 2 ;;
        --gifski) want_gifski=1; shift ;;
        --rounds) rounds=$2; shift 2 ;;
        --memory) memory=1; shift ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done
sources=(/usr/share/backgrounds/mate/nature/*.jpg)
for tool in compare ffmpeg gifsicle /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
# the real ImageMagick, timed without a wrapper that may stand before it on PATH
find_imagemagick
mogrify=$(command -v mogrify-im6.q16 || command -v mogrify) || { echo "missing: mogrify" >&2; exit 2; }
[ -x "$pixmar" ] || { echo "no pixmar at $pixmar (build it, or give --pixmar)" >&2; exit 2; }
[ -e "${sources[0]}" ] || { echo "no pictures in /usr/share/backgrounds/mate/nature" >&2; exit 2; }
# Temporary folders made by this run go when it ends, however it ends.
[ -n "$work" ] || temp_dir work
mkdir -p "$work"
bench_work=$work

# gifski for this run only, in a folder of its own that goes with the run.
gifski=""
if [ "$want_gifski" -eq 1 ]; then
    temp_dir peer
    if command -v npm >/dev/null \
        && npm install --silent --no-save --no-audit --no-fund --prefix "$peer" gifski >/dev/null 2>&1 \
        && [ -x "$peer/node_modules/gifski/bin/debian/gifski" ]; then
        gifski="$peer/node_modules/gifski/bin/debian/gifski"
        echo "gifski: $("$gifski" --version)"
    else
        echo "note: gifski could not be had (no npm, or the registry is out of reach): left out"
    fi
fi

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
        "$convert" "$src" -crop "$geometry" +repage -resize "${w}x${h}!" -quality 92 "$name"
        i=$((i + 1))
    done
}

# make_burst DIR COUNT WIDTH HEIGHT: one photograph seen through a 4:3 window that drifts
# right and down and closes in by a tenth over the whole run (about one output pixel of
# movement per frame), scaled to WIDTH x HEIGHT.
make_burst() {
    local dir=$1 count=$2 w=$3 h=$4
    mkdir -p "$dir"
    [ "$(ls "$dir" | grep -c '\.jpg$' || true)" -eq "$count" ] && return 0
    rm -f "$dir"/*.jpg
    local src=${sources[$((6 % ${#sources[@]}))]}
    read -r sw sh < <(identify -format '%w %h\n' "$src")
    local args=()
    local i
    for ((i = 0; i < count; i++)); do
        local geometry
        geometry=$(awk -v sw="$sw" -v sh="$sh" -v i="$i" -v n="$count" -v ar="$(awk -v w="$w" -v h="$h" 'BEGIN{print w/h}')" 'BEGIN {
            t = (n > 1 ? i / (n - 1) : 0);
            cw = (sw / sh > ar ? sh * ar : sw) * (0.85 - 0.085 * t); ch = cw / ar;
            x = (sw - cw) * (0.1 + 0.3 * t); y = (sh - ch) * (0.2 + 0.1 * t);
            printf "%dx%d+%d+%d", cw, ch, x, y }')
        printf -v name '%s/f%03d.jpg' "$dir" "$i"
        args+=("(" mpr:src -crop "$geometry" +repage -resize "${w}x${h}!" -quality 92 -write "$name" +delete ")")
    done
    # the last picture read only gives the command something to write to null:, which
    # ImageMagick 6 refuses to do with an empty list
    "$convert" "$src" -write mpr:src +delete "${args[@]}" xc:none null:
}

# psnr NAME GIF SOURCES COUNT: per-frame PSNR (dB) against the sources, one per line, into
# $work/NAME.psnr
psnr() {
    local name=$1 gif=$2 src_dir=$3 count=$4 out="$work/$1.frames"
    rm -rf "$out" && mkdir -p "$out"
    ffmpeg -v error -i "$gif" -fps_mode passthrough "$out/%03d.png"
    local n
    n=$(ls "$out" | wc -l)
    [ "$n" -eq "$count" ] || { echo "$name: $n frames decoded, $count expected" >&2; exit 1; }
    : >"$work/$name.psnr"
    for ((i = 0; i < count; i++)); do
        printf -v src '%s/f%03d.jpg' "$src_dir" "$i"
        printf -v dec '%s/%03d.png' "$out" "$((i + 1))"
        # compare prints the figure on standard error and exits 1 when the pictures differ
        { compare -metric PSNR "$src" "$dec" null: 2>&1 || true; } | awk '{ print $1 }' >>"$work/$name.psnr"
    done
    rm -rf "$out"
}

stats() { awk '{ s += $1; if (NR == 1 || $1 < m) m = $1 } END { printf "%.2f %.2f\n", s / NR, m }' "$1"; }
size() { stat -c %s "$1"; }

# turn NAME COMMAND...: one timed run (lib.sh's measure). The fastest of NAME's turns is kept in
# ${NAME}_s, with the processor seconds (user and system) of that turn in ${NAME}_cpu; the
# largest peak of all its turns in ${NAME}_kb.
turn() {
    local name=$1 best cpu
    shift
    measure turn "$@"
    cpu=$(awk -F': ' '/User time|System time/ { t += $2 } END { print t }' "$bench_work/turn.time")
    best="${name}_s"
    if [ -z "${!best:-}" ] || [ "$(echo "$turn_s < ${!best}" | bc)" -eq 1 ]; then
        printf -v "${name}_s" '%s' "$turn_s"
        printf -v "${name}_cpu" '%s' "$cpu"
    fi
    best="${name}_kb"
    if [ -z "${!best:-}" ] || [ "$turn_kb" -gt "${!best}" ]; then
        printf -v "${name}_kb" '%s' "$turn_kb"
    fi
}

# run_set SET DIR COUNT: every tool on one frame set, $rounds turns each, then its table.
run_set() {
    local set=$1 dir=$2 count=$3 tools=(pixmar magick ffmpeg) r
    [ -n "$gifski" ] && tools+=(gifski)
    rm -f "$dir/Pixmar-anim.gif"
    echo
    echo "== $set: $count frames of 1000 x 750 in $dir (delay 10/100 s, loop for ever)"
    echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) (on $(nproc) cores)"
    if [ -n "$gifski" ]; then
        # gifski's frames, made the way a user would: one command for the folder
        fresh_dir "$work/${set}_png"
        measure "${set}_topng" "$mogrify" -path "$work/${set}_png" -format png "$dir"/f*.jpg
    fi
    for ((r = 1; r <= rounds; r++)); do
        echo "  round $r of $rounds: ${tools[*]}"
        turn "${set}_pixmar" "$pixmar" gif --delay 10 "$dir"
        mv "$dir/Pixmar-anim.gif" "$work/${set}_pixmar.gif"
        turn "${set}_magick" "$convert" -delay 10 -loop 0 "$dir"/f*.jpg "$work/${set}_magick.gif"
        turn "${set}_ffmpeg" ffmpeg -v error -y -framerate 10 -i "$dir/f%03d.jpg" \
            -vf "split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1" \
            -loop 0 "$work/${set}_ffmpeg.gif"
        if [ -n "$gifski" ]; then
            turn "${set}_gifski" "$gifski" --quiet --fps 10 --width 1000 --repeat 0 \
                -o "$work/${set}_gifski.gif" "$work/${set}_png"/f*.png
        fi
    done
    [ -n "$gifski" ] && rm -rf "$work/${set}_png"
    echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

    # Pixmar's file as another reader sees it: frame count, delays, loop.
    local info n delays loop
    info=$(gifsicle --info "$work/${set}_pixmar.gif")
    n=$(grep -c '+ image #' <<<"$info")
    delays=$(grep -o 'delay [0-9.]*s' <<<"$info" | sort -u | tr '\n' ' ')
    loop=$(grep -o 'loop forever' <<<"$info" || echo "no loop")
    echo "pixmar's file per gifsicle: $n frames, ${delays:-no delays}, $loop"
    [ "$n" -eq "$count" ] || { echo "wrong frame count" >&2; exit 1; }

    echo "PSNR of every frame against its source ..."
    local t
    for t in "${tools[@]}"; do psnr "${set}_$t" "$work/${set}_$t.gif" "$dir" "$count"; done

    echo
    echo "timed: each tool's whole command until its GIF is complete, the fastest of $rounds turns"
    echo "(cpu s: the processor time of that turn, all threads; peak MB: the largest of the turns)"
    printf '%-8s %9s %8s %9s %9s %10s %9s\n' "$set" "time s" "cpu s" "peak MB" "size MB" "PSNR mean" "PSNR min"
    for t in "${tools[@]}"; do
        local s_var="${set}_${t}_s" c_var="${set}_${t}_cpu" kb_var="${set}_${t}_kb" mean min
        read -r mean min < <(stats "$work/${set}_$t.psnr")
        printf '%-8s %9.2f %8.2f %9.1f %9.2f %10.2f %9.2f\n' "$t" "${!s_var}" "${!c_var}" \
            "$(awk -v k="${!kb_var}" 'BEGIN{print k/1024}')" \
            "$(awk -v b="$(size "$work/${set}_$t.gif")" 'BEGIN{print b/1e6}')" "$mean" "$min"
        printf -v "${set}_${t}_mean" '%s' "$mean"
        printf -v "${set}_${t}_min" '%s' "$min"
    done
    if [ -n "$gifski" ]; then
        local png="${set}_topng_s"
        echo "(gifski's PNG frames took ${!png} s to make with one ImageMagick command: not in its time above)"
    fi

    echo "ratios, Pixmar against each peer (below 1: Pixmar takes less, is smaller):"
    for t in "${tools[@]:1}"; do
        local ps="${set}_pixmar_s" ts="${set}_${t}_s" pc="${set}_pixmar_cpu" tc="${set}_${t}_cpu"
        local pk="${set}_pixmar_kb" tk="${set}_${t}_kb"
        local pm="${set}_pixmar_mean" tm="${set}_${t}_mean" pn="${set}_pixmar_min" tn="${set}_${t}_min"
        awk -v t="$t" -v ps="${!ps}" -v ts="${!ts}" -v pc="${!pc}" -v tc="${!tc}" -v pk="${!pk}" -v tk="${!tk}" \
            -v pz="$(size "$work/${set}_pixmar.gif")" -v tz="$(size "$work/${set}_$t.gif")" \
            -v pm="${!pm}" -v tm="${!tm}" -v pn="${!pn}" -v tn="${!tn}" 'BEGIN {
            printf "  %-7s time %.2fx (cpu %.2fx), memory %.2fx, size %.2fx, PSNR mean %+.2f dB, min %+.2f dB\n",
                t, ps / ts, pc / tc, pk / tk, pz / tz, pm - tm, pn - tn }'
    done
    if [ -n "$gifski" ]; then
        local ps="${set}_pixmar_s" ts="${set}_gifski_s" tp="${set}_topng_s"
        local pm="${set}_pixmar_mean" tm="${set}_gifski_mean" pn="${set}_pixmar_min" tn="${set}_gifski_min"
        awk -v ps="${!ps}" -v ts="${!ts}" -v tp="${!tp}" 'BEGIN {
            printf "  gifski with the making of its PNG frames counted (a user starting from the JPEGs): time %.2fx\n",
                ps / (ts + tp) }'
        awk -v ps="${!ps}" -v ts="${!ts}" -v pz="$(size "$work/${set}_pixmar.gif")" \
            -v tz="$(size "$work/${set}_gifski.gif")" -v pm="${!pm}" -v tm="${!tm}" -v pn="${!pn}" -v tn="${!tn}" 'BEGIN {
            printf "goals against gifski: time at most 0.25x: %s; size at most its: %s; mean PSNR at least its: %s; min PSNR within 0.5 dB: %s\n",
                (ps <= 0.25 * ts ? "met" : "NOT met"), (pz <= tz ? "met" : "NOT met"),
                (pm >= tm ? "met" : "NOT met"), (pn >= tn - 0.5 ? "met" : "NOT met") }'
    fi
}

echo "the machine has $(nproc) cores; figures from a machine shared with other work move with its load"
echo "making $frames distinct frames of 1000 x 750 from ${#sources[@]} photographs in $work/frames ..."
make_frames "$work/frames" "$frames" 1000 750
run_set distinct "$work/frames" "$frames"
if [ "$burst" -gt 0 ]; then
    echo
    echo "making a burst of $burst frames of 1000 x 750 from one photograph in $work/burst ..."
    make_burst "$work/burst" "$burst" 1000 750
    run_set burst "$work/burst" "$burst"
fi

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
