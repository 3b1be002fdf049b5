#!/usr/bin/env bash
# Builds the Windows program and its tests (scripts/build-windows.sh) and
# runs them under Wine, the windows on a virtual X display: the suite's tests
# without pseudo-terminals, the serial back end and pelican.exe against
# pelican-sim on a pseudo-terminal mapped to a COM port, the windows, the end
# of the session, and the installer (made with the zip before the tests).
#   scripts/run-windows-tests.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-win}
# The Wine tests need pelican-sim from the Linux build.
[ -x build/src/sim/pelican-sim ] || scripts/setup.sh build
export WINEPREFIX=${WINEPREFIX:-$PWD/$dir/wine}
export WINEDEBUG=-all
scripts/build-windows.sh "$dir"
# The zip and the installer first: the tests install the installer (makensis
# is installed by build-windows.sh; without it this is where the run stops).
(cd "$dir" && cpack -G ZIP >/dev/null && cpack -G NSIS >/dev/null)
if [ ! -d "$WINEPREFIX/dosdevices" ]; then
  echo "run-windows-tests: making the Wine prefix $WINEPREFIX"
  timeout 300 wineboot -i >/dev/null 2>&1
  timeout 60 wineserver -w || true
fi
xvfb=
if [ -z "${DISPLAY:-}" ]; then
  display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=$display
fi
finish() {
  timeout 30 wineserver -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
}
trap finish EXIT
ls -l "$dir"/pelican-*-windows-x64.*
ctest --test-dir "$dir" -j2 --output-on-failure --timeout 600 </dev/null
