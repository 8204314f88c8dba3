# Pieces the shell benchmarks share: sourced by them, never run on its own. POSIX sh (with
# "local", which dash and bash both know), so that the sh and the bash scripts can source it. Set "bench_work" (the run's work folder)
# before calling measure.

bench_photos=/usr/share/backgrounds/mate/nature

# Temporary folders made by the run, removed when it ends however it ends.
bench_made=""
bench_cleanup() { for d in $bench_made; do rm -rf "$d"; done; }
trap bench_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
temp_dir() {   # VARIABLE: a fresh folder, its path put into VARIABLE
    local d
    d=$(mktemp -d)
    bench_made="$bench_made $d"
    eval "$1=\$d"
}

fresh_dir() { rm -rf "$1" && mkdir -p "$1"; }

# work_dir VARIABLE: the run's work folder, $BENCH_DIR when given (kept, so that its
# photographs are made once), else a temporary one; its path put into VARIABLE.
work_dir() {
    if [ -n "${BENCH_DIR:-}" ]; then
        mkdir -p "$BENCH_DIR"
        eval "$1=\$BENCH_DIR"
    else
        temp_dir "$1"
    fi
}

# The face pixmar draws text in by default, into $font (its file) and $font_family.
find_font() {
    font=$(fc-match -f '%{file}' 'Times New Roman')
    font_family=$(fc-match -f '%{family[0]}' 'Times New Roman')
}

need_pixmar() {
    [ -x "$1" ] || { echo "no pixmar binary at $1 (build it first)" >&2; exit 2; }
}

# jobs_flag PIXMAR: where pixmar takes its thread count, a newer flag (--jobs N), as its usage
# shows it, into $jobs_flag: "global" before the tool's name, "tool" after it, "" not at all.
jobs_flag() {
    jobs_flag=""
    if "$1" --help 2>/dev/null | grep -- 'TOOL' | grep -q -- '--jobs'; then
        jobs_flag=global
    elif "$1" --help 2>/dev/null | grep -q -- '--jobs'; then
        jobs_flag=tool
    fi
}

# jobs_args [THREADS]: the words that give pixmar THREADS (none without it), into $jobs_before
# (before the tool's name) and $jobs_after (after the tool's arguments), to be used unquoted.
jobs_args() {
    jobs_before="" jobs_after=""
    [ $# -eq 1 ] || return 0
    if [ "$jobs_flag" = global ]; then jobs_before="--jobs $1"; else jobs_after="--jobs $1"; fi
}

# The real ImageMagick into $convert, $identify and $compare, not a wrapper script that may
# stand before it on PATH.
find_imagemagick() {
    convert=$(command -v convert-im6.q16 || command -v magick || command -v convert) ||
        { echo "ImageMagick is not installed" >&2; exit 2; }
    identify=$(command -v identify-im6.q16 || command -v identify) ||
        { echo "ImageMagick is not installed" >&2; exit 2; }
    compare=$(command -v compare-im6.q16 || command -v compare) ||
        { echo "ImageMagick is not installed" >&2; exit 2; }
}

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc; }
ratio() { echo "$1 / $2" | bc -l; }

# prepare_photos DIR WxH COPIES [QUALITY]: real photographs brought up to camera size (cropped
# to the size's proportions, so each has exactly WxH pixels), COPIES of each. Kept when DIR
# already holds pictures, so that a work folder given by the user is made once.
prepare_photos() {
    local f name n
    ls "$bench_photos"/*.jpg >/dev/null 2>&1 ||
        { echo "no photographs in $bench_photos (install mate-backgrounds)" >&2; exit 2; }
    mkdir -p "$1"
    [ -z "$(ls "$1")" ] || return 0
    for f in "$bench_photos"/*.jpg; do
        name=$(basename "$f" .jpg)
        "$convert" "$f" -resize "$2^" -gravity center -extent "$2" -quality "${4:-92}" "$1/$name-1.jpg"
        n=2
        while [ "$n" -le "$3" ]; do
            cp "$1/$name-1.jpg" "$1/$name-$n.jpg"
            n=$((n + 1))
        done
    done
}

# prepare_detailed DIR WxH COUNT: COUNT different WxH pieces of the largest photograph at hand
# (5640 x 3172, full of fine detail), saved at quality 92: files as large as a camera's (about
# 5 MB at 12 MP), where the photographs brought up to camera size are smooth and small, so
# that decoding them costs less than a camera's would. Kept like prepare_photos'.
bench_detailed=/usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg
prepare_detailed() {
    local w=${2%x*} h=${2#*x} i=0 x y
    [ -e "$bench_detailed" ] || { echo "no $bench_detailed (install mate-backgrounds)" >&2; exit 2; }
    [ "$w" -le 5640 ] && [ "$h" -le 3172 ] || { echo "$2 is larger than $bench_detailed" >&2; exit 2; }
    mkdir -p "$1"
    [ -z "$(ls "$1")" ] || return 0
    while [ "$i" -lt "$3" ]; do
        # spread over the picture: left to right, and up and down in a scattered order
        x=$(((5640 - w) * i / ($3 > 1 ? $3 - 1 : 1)))
        y=$(((3172 - h) * ((i * 7) % $3) / ($3 > 1 ? $3 - 1 : 1)))
        "$convert" "$bench_detailed" -crop "${2}+$x+$y" +repage -quality 92 "$(printf '%s/detail-%02d.jpg' "$1" "$i")"
        i=$((i + 1))
    done
}

# prepare_set DIR WxH COPIES: the photographs $BENCH_PHOTOS names: "upscaled" (the default,
# prepare_photos) or "detailed" (prepare_detailed, as many as the upscaled ones).
prepare_set() {
    case ${BENCH_PHOTOS:-upscaled} in
        upscaled) prepare_photos "$@" ;;
        detailed) prepare_detailed "$1" "$2" $(($(ls "$bench_photos"/*.jpg | wc -l) * $3)) ;;
        *) echo "BENCH_PHOTOS is upscaled or detailed, not $BENCH_PHOTOS" >&2; exit 2 ;;
    esac
}

# measure NAME COMMAND...: wall seconds and peak resident kB of one run (the largest of its
# processes) into ${NAME}_s and ${NAME}_kb; its output goes to $bench_work/NAME.out and .err.
measure() {
    local what="$1"
    shift
    /usr/bin/time -v -o "$bench_work/$what.time" "$@" >"$bench_work/$what.out" 2>"$bench_work/$what.err" || {
        echo "$what failed:" >&2
        tail -n 20 "$bench_work/$what.err" >&2
        exit 1
    }
    eval "${what}_s=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); t = 0;
        for (i = 1; i <= n; i++) t = t * 60 + p[i]; print t }' "$bench_work/$what.time")"
    eval "${what}_kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$bench_work/$what.time")"
}

# measure_best NAME ROUNDS SETUP COMMAND...: measure ROUNDS times, SETUP (a shell command,
# e.g. emptying the target folder) before each, and keep the fastest time and the largest
# peak: on a machine shared with other work the fastest run is the one least disturbed.
measure_best() {
    local best_name="$1" best_rounds="$2" best_setup="$3" best_i=0 f
    shift 3
    while [ "$best_i" -lt "$best_rounds" ]; do
        eval "$best_setup"
        measure best_try "$@"
        if [ "$best_i" -eq 0 ] || [ "$(echo "$best_try_s < $(eval echo "\$${best_name}_s")" | bc)" -eq 1 ]; then
            eval "${best_name}_s=$best_try_s"
        fi
        if [ "$best_i" -eq 0 ] || [ "$best_try_kb" -gt "$(eval echo "\$${best_name}_kb")" ]; then
            eval "${best_name}_kb=$best_try_kb"
        fi
        for f in time out err; do mv "$bench_work/best_try.$f" "$bench_work/$best_name.$f"; done
        best_i=$((best_i + 1))
    done
}

# fetch_peers PACKAGE...: the Debian packages and those of their dependencies that are not
# installed, downloaded and unpacked into a temporary folder that goes with the run, and put
# on PATH and LD_LIBRARY_PATH. Nothing is installed on the machine.
fetch_peers() {
    local peer libs
    echo "fetching $* into a temporary folder ..."
    temp_dir peer
    (
        cd "$peer" || exit 1
        # apt's own resolution of what installing them would add, without installing it
        missing=$(apt-get -s install --no-install-recommends "$@" 2>/dev/null | awk '/^Inst / { print $2 }')
        [ -n "$missing" ] || exit 1
        apt-get download $missing >/dev/null 2>"$peer/download.err" || { cat "$peer/download.err" >&2; exit 1; }
        for deb in ./*.deb; do dpkg -x "$deb" "$peer/root" || exit 1; done
    ) || { echo "could not fetch $* (no network or no package lists?)" >&2; exit 2; }
    PATH=$peer/root/usr/bin:$PATH
    libs=$(find "$peer/root" -name '*.so*' -printf '%h\n' | sort -u | tr '\n' ':')
    LD_LIBRARY_PATH=$libs${LD_LIBRARY_PATH:-}
    export PATH LD_LIBRARY_PATH
}
