#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
# Everything: the tests in process (the default, ctest -LE slow) and the
# real processes in real time (label slow).
ctest --test-dir build -j2 --output-on-failure --timeout 300 </dev/null
