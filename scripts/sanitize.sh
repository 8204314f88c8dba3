#!/bin/sh
# Builds the tests with the address and undefined-behaviour sanitizers (leak checking on) in
# build-sanitize/ and runs them: every test, or those GTEST_FILTER names (the hostile
# pictures: 'HostileFormats.*:HostileRun.*'). Any report fails the run. Slow: not part of CI.
#
#   ./scripts/sanitize.sh [UNIT...]        (default: platform tools)
set -eu
cd "$(dirname "$0")/.."
# The packages, and the release build beside it.
./scripts/setup.sh
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
units=${*:-platform tools}
targets=""
for u in $units; do targets="$targets test_$u"; done
# shellcheck disable=SC2086 # the targets' words
cmake --build build-sanitize -j"$(nproc)" --target $targets
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS="suppressions=$(pwd)/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
status=0
for u in $units; do
  echo "== test_$u under the sanitizers"
  (cd build-sanitize/tests && "./test_$u" ${GTEST_FILTER:+--gtest_filter="$GTEST_FILTER"}) || status=1
done
exit $status
