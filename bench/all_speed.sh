#!/bin/bash
# Every speed and memory benchmark of the bulk and own-size paths in one run, one after
# another, so that their figures come from the same machine in the same state:
#  - bulk_bench.sh: bulk text watermark, one thread and all cores, against the libjpeg-turbo
#    floor and vips; the ratio of one thread to all cores; peak memory of each;
#  - photo_bench.sh: own-size watermark and quarter turn against ImageMagick, vips, jpegtran;
#  - own_size_memory_bench.sh: peak memory of text, watermark, logo and rotate at own size;
#  - gif_bench.sh: the GIF builder on the distinct and burst sets against gifski.
# Each script keeps the fastest of its rounds (BENCH_ROUNDS=3 unless set). The load average
# is printed before and after: figures from a busy machine are not worth comparing.
#
#   bench/all_speed.sh [PIXMAR_BINARY]        (default: build/pixmar)
#
# Not part of the test suite and never run in CI: it takes many minutes.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
pixmar=${1:-$here/build/pixmar}
[ -x "$pixmar" ] || { echo "no pixmar binary at $pixmar (build it first)" >&2; exit 2; }
export BENCH_ROUNDS=${BENCH_ROUNDS:-3}

status=0
run() {   # TITLE SCRIPT ARGS...: one benchmark, its failure noted without stopping the others
    local title=$1; shift
    echo
    echo "==== $title ($(date -u +%H:%M:%S), load $(cut -d' ' -f1-3 /proc/loadavg))"
    "$@" || { echo "==== $title FAILED (exit $?)"; status=1; }
}

echo "pixmar: $pixmar   cores: $(nproc)   rounds: $BENCH_ROUNDS"
run "bulk watermark, default size" sh "$here/bench/bulk_bench.sh" "$pixmar"
run "photos at their own size" sh "$here/bench/photo_bench.sh" "$pixmar"
run "own-size peak memory" bash "$here/bench/own_size_memory_bench.sh" "$pixmar"
run "GIF builder" bash "$here/bench/gif_bench.sh" --pixmar "$pixmar" --gifski --memory \
    --rounds "$BENCH_ROUNDS"
echo
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
