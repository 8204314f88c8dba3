#!/bin/bash
# Lossless quarter turns at the pictures' own size: pixmar against jpegtran (libjpeg-turbo's
# command-line tool, the same library pixmar uses) doing the same work in the same run:
# turn each photograph 90 degrees clockwise without re-encoding, blocks kept whole.
#
#   bench/lossless_rotate_bench.sh [PIXMAR_BINARY]        (default: build/pixmar)
#
# Two ways of running pixmar are timed: one process per photograph (as a loop of jpegtran
# calls runs), and one process for the whole folder (as a user runs a bulk turn). Each is
# repeated BENCH_ROUNDS times (default 5) and the fastest round counts, so that a machine
# shared with other work shows what the programs cost rather than what they waited for.
# Peak resident memory of one single-photograph run is printed as well.
#
# Environment: BENCH_DIR (work folder, default a fresh temporary one), BENCH_COUNT
# (photographs, default 6), BENCH_SIZE (default 4000x3008: sides of whole blocks).
# jpegtran is fetched into a temporary folder (apt-get download, never installed).
# Not part of the test suite: timings depend on the machine.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
pixmar=${1:-$here/build/pixmar}
photos=/usr/share/backgrounds/mate/nature
size=${BENCH_SIZE:-4000x3008}
count=${BENCH_COUNT:-6}
rounds=${BENCH_ROUNDS:-5}

[ -x "$pixmar" ] || { echo "no pixmar binary at $pixmar (build it first)" >&2; exit 2; }
ls "$photos"/*.jpg >/dev/null 2>&1 || { echo "no photographs in $photos (install mate-backgrounds)" >&2; exit 2; }
convert=$(command -v convert-im6.q16 || command -v magick || command -v convert) ||
    { echo "ImageMagick is not installed" >&2; exit 2; }

work=${BENCH_DIR:-$(mktemp -d)}
src=$work/src
mkdir -p "$src" "$work/one" "$work/bulk" "$work/peer"

peer=$work/peer-bin/usr/bin/jpegtran
if [ ! -x "$peer" ]; then
    (cd "$work" && apt-get download libjpeg-turbo-progs >/dev/null 2>&1 &&
        dpkg -x libjpeg-turbo-progs_*.deb peer-bin) ||
        { echo "cannot fetch jpegtran (apt-get download libjpeg-turbo-progs)" >&2; exit 2; }
fi

if [ -z "$(ls "$src")" ]; then
    i=0
    for f in "$photos"/*.jpg; do
        [ "$i" -ge "$count" ] && break
        i=$((i + 1))
        "$convert" "$f" -resize "$size^" -gravity center -extent "$size" -quality 92 "$src/p$i.jpg"
    done
fi
n=$(ls "$src" | wc -l)
echo "photographs: $n of $size in $src, fastest of $rounds rounds"

now() { date +%s.%N; }
best=""
# Runs "$@" $rounds times and leaves the fastest wall time in $best.
fastest() {
    best=""
    for _ in $(seq "$rounds"); do
        t0=$(now)
        "$@"
        t1=$(now)
        t=$(echo "$t1 - $t0" | bc)
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" -eq 1 ]; then best=$t; fi
    done
}

run_peer() {
    for f in "$src"/*.jpg; do
        "$peer" -rotate 90 -perfect -copy all "$f" >"$work/peer/$(basename "$f")"
    done
}
run_one() {
    rm -f "$work"/one/*
    for f in "$src"/*.jpg; do
        "$pixmar" rotate --file "$f" --target "$work/one" --plus --original-size --lossless >/dev/null
    done
}
run_bulk() {
    rm -f "$work"/bulk/*
    "$pixmar" rotate --dir "$src" --target "$work/bulk" --plus --original-size --lossless >/dev/null
}

fastest run_peer; peer_s=$best
fastest run_one; one_s=$best
fastest run_bulk; bulk_s=$best

# The same turn, pixel for pixel: jpegtran without markers writes what pixmar writes.
for f in "$src"/*.jpg; do
    "$peer" -rotate 90 -perfect -copy none "$f" | cmp -s - "$work/one/rot-$(basename "$f")" ||
        { echo "pixmar's turn of $(basename "$f") differs from jpegtran's" >&2; exit 1; }
done

first=$(ls "$src"/*.jpg | head -n 1)
peak=$( { /usr/bin/time -f '%M' "$pixmar" rotate --file "$first" --target "$work/one" --plus \
    --original-size --lossless >/dev/null; } 2>&1 | tail -n 1)
peer_peak=$( { /usr/bin/time -f '%M' "$peer" -rotate 90 -perfect -copy all "$first" >/dev/null; } 2>&1 | tail -n 1)

printf 'jpegtran loop:                  %8.3f s\n' "$peer_s"
printf 'pixmar, a process per photo:    %8.3f s   %.2fx jpegtran\n' "$one_s" "$(echo "$one_s / $peer_s" | bc -l)"
printf 'pixmar, one process (bulk):     %8.3f s   %.2fx jpegtran\n' "$bulk_s" "$(echo "$bulk_s / $peer_s" | bc -l)"
printf 'peak memory, one photo:         pixmar %d MB, jpegtran %d MB\n' "$((peak / 1024))" "$((peer_peak / 1024))"
