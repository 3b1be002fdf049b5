#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a number of executions.
# Usage: scripts/fuzz.sh RUNS [loader|ihex|idfile|board|cmdline ...]   (default: all five)
#   FUZZ_SECONDS=N stops each run after N seconds even if RUNS is not reached.
# Seeds come from fuzz/corpus/<target>; the growing corpus stays in
# build-fuzz/corpus/<target>, crashing inputs land in build-fuzz/crashes/.
# The last lines of each run (executions, exec/s, cov:, ft:) go to
# build-fuzz/<target>.log and are printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${1:?usage: scripts/fuzz.sh RUNS [target ...]}
shift
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(loader ihex idfile board cmdline)

CXX=${CXX:-clang++} cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELICAN_FUZZ=ON \
  -DPELICAN_WITH_QT=OFF -DPELICAN_BENCH=OFF >/dev/null
for target in "${TARGETS[@]}"; do
  nice cmake --build build-fuzz -j2 --target "pelican-fuzz-$target"
done

mkdir -p build-fuzz/crashes
status=0
for target in "${TARGETS[@]}"; do
  corpus=build-fuzz/corpus/$target
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/corpus/$target" ] && seeds=("fuzz/corpus/$target")
  dict=()
  [ -f "fuzz/$target.dict" ] && dict=("-dict=fuzz/$target.dict")
  # The board's longest frame is 260 bytes: streams of a few frames reach
  # every state of its decoder, and longer ones only repeat them more slowly.
  max_len=4096
  [ "$target" = board ] && max_len=1024
  echo "== $target: $RUNS executions"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    nice -n 19 "build-fuzz/fuzz/pelican-fuzz-$target" -runs="$RUNS" -max_total_time="${FUZZ_SECONDS:-0}" \
      -max_len="$max_len" -print_final_stats=1 \
      -artifact_prefix="build-fuzz/crashes/$target-" "${dict[@]}" "$corpus" "${seeds[@]}" \
      >"build-fuzz/$target.log" 2>&1 || status=1
done

for target in "${TARGETS[@]}"; do
  echo "== $target"
  grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "build-fuzz/$target.log" | tail -1 || true
  grep -E 'stat::(number_of_executed_units|average_exec_per_sec)' "build-fuzz/$target.log" || true
  grep -E 'ERROR|SUMMARY|Test unit written' "build-fuzz/$target.log" || true
done
exit $status
