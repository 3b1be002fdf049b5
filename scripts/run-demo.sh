#!/usr/bin/env bash
# Sets up, builds, and runs Pelican's main job in batch mode on the built-in
# simulated board: start-up, the ID check from resources/demo/prog.id, erase,
# program and read check of resources/demo/prog.mot at 115200 bps, then the
# board's status.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
# Keep the demonstration's settings file and lock away from the user's own.
export XDG_CONFIG_HOME="${XDG_CONFIG_HOME:-$PWD/build/demo-config}"
export XDG_RUNTIME_DIR="$PWD/build/demo-run"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
set -x
build/src/pelican --simulate --baud 115200 -f resources/demo/prog.mot -y epr read status </dev/null
