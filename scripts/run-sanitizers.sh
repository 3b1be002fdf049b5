#!/usr/bin/env bash
# Builds the suite with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs it; then builds the tests that run the port's reader thread beside the
# user-interface thread with ThreadSanitizer and runs those.
# Usage: scripts/run-sanitizers.sh   (after scripts/setup.sh has installed what is needed)
set -euo pipefail
cd "$(dirname "$0")/.."

# The sanitizer builds compile every file again: ccache, when installed,
# keeps a second run to the files that changed.
LAUNCHER=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPELICAN_SANITIZE=ON -DPELICAN_BENCH=OFF \
      -DPELICAN_WERROR=ON "${LAUNCHER[@]}" >/dev/null
cmake --build build-asan -j2
# The suppressions' summary would end up in what a program said on standard
# error, which the tests compare line by line. The real processes in real
# time (label slow), the packages and the build checks are the plain run's.
LSAN_OPTIONS=suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0 \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j2 -LE 'slow|package|build' --output-on-failure --timeout 600 </dev/null

# ThreadSanitizer: everything that starts a second thread against the port.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DPELICAN_WITH_QT=OFF -DPELICAN_BENCH=OFF -DPELICAN_WERROR=ON \
      -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
      -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" "${LAUNCHER[@]}" >/dev/null
TSAN_TESTS=$(ctest --test-dir build-tsan -N -L thread -LE slow | sed -n 's/^ *Test *#[0-9]*: //p')
if [ -n "$TSAN_TESTS" ]; then
  # shellcheck disable=SC2086
  cmake --build build-tsan -j2 --target $TSAN_TESTS
  TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan -j2 -L thread -LE slow --output-on-failure --timeout 600 </dev/null
fi
