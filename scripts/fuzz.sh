#!/bin/sh
# Builds the fuzz targets (tests/fuzz) with clang into build-fuzz/ and runs each in turn for
# SECONDS (default 60), one process at a time at low priority, then prints what each did:
# executions, coverage (cov: code edges, ft: features, from libFuzzer's final status line),
# the corpus it reached and the crashes it found.
#   scripts/fuzz.sh [SECONDS] [TARGET...]      targets: decoder gif_writer (default: both)
# The corpus grows in build-fuzz/fuzz-corpus/TARGET between runs; crashing inputs land in
# build-fuzz/fuzz-findings/TARGET/ and the whole log in build-fuzz/fuzz-logs/TARGET.log.
# A finding is replayed with: build-fuzz/tests/fuzz/fuzz_TARGET FILE
set -eu
cd "$(dirname "$0")/.."
seconds=60
if [ $# -gt 0 ]; then
  seconds=$1
  shift
fi
targets=${*:-decoder gif_writer}
case $seconds in
  ''|*[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac
for t in $targets; do
  [ -f "tests/fuzz/fuzz_$t.cpp" ] || { echo "no fuzz target '$t' (tests/fuzz/fuzz_$t.cpp)" >&2; exit 2; }
done
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "fuzzing needs clang++ and libFuzzer (packages clang, libclang-rt-14-dev): run scripts/setup.sh" >&2
  exit 2
fi

build=build-fuzz
[ -f $build/CMakeCache.txt ] ||
  cmake -S . -B $build -DPIXMAR_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
build_targets=""
for t in $targets; do build_targets="$build_targets fuzz_$t"; done
# shellcheck disable=SC2086
nice -n 10 cmake --build $build -j2 --target $build_targets

mkdir -p $build/fuzz-logs
summary=""
found=0
for t in $targets; do
  corpus=$build/fuzz-corpus/$t
  findings=$build/fuzz-findings/$t
  log=$build/fuzz-logs/$t.log
  mkdir -p "$corpus" "$findings"
  dict=""
  [ -f "tests/fuzz/$t.dict" ] && dict="-dict=tests/fuzz/$t.dict"
  echo "fuzzing $t for $seconds s (log: $log)"
  stamp=$build/fuzz-logs/$t.start
  touch "$stamp"
  # A hang is an input that takes over 10 s; libFuzzer stops at the first finding.
  # shellcheck disable=SC2086
  nice -n 10 "$build/tests/fuzz/fuzz_$t" "$corpus" "$build/tests/fuzz/seeds/$t" $dict \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1 || true
  crashes=$(find "$findings" -type f -newer "$stamp" | wc -l)
  found=$((found + crashes))
  # The last status line: "#N  DONE  cov: C ft: F corp: U/SIZE ..."; pulse lines carry no corp.
  status=$(grep -E '^#[0-9]+.*cov: [0-9]+ ft: [0-9]+ corp: ' "$log" | tail -n 1)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  cov=$(printf '%s\n' "$status" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
  ft=$(printf '%s\n' "$status" | sed -n 's/.* ft: \([0-9]*\).*/\1/p')
  corp=$(printf '%s\n' "$status" | sed -n 's/.* corp: \([0-9]*\/[0-9A-Za-z]*\).*/\1/p')
  line="$t: executions ${execs:-?} (${rate:-?}/s), cov ${cov:-?}, ft ${ft:-?}, corpus ${corp:-?}, crashes $crashes"
  echo "$line"
  if [ "$crashes" -gt 0 ]; then
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|fuzz check failed|ALARM|.*deadly signal)' "$log" | head -n 5 | sed 's/^/    /'
    find "$findings" -type f -newer "$stamp" | sed 's/^/    input: /'
  fi
  summary="$summary$line
"
done
echo
echo "summary ($seconds s each):"
printf '%s' "$summary"
[ "$found" -eq 0 ]
