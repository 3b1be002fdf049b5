#!/usr/bin/env bash
# Captures every window of the Windows build, as Wine draws it on a virtual
# desktop of its own (which draws the title bars too), into docs/windows/.
#   scripts/screenshots-windows.sh [build folder]   (after scripts/build-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-win}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export WINEDEBUG=-all
# The build's own Wine prefix (scripts/run-windows-tests.sh makes it).
export WINEPREFIX=${WINEPREFIX:-$PWD/$dir/wine}
run() {
  wine explorer /desktop=pelican,1024x768 "$dir/tests/app/win32/app_win32_windows_test.exe"
}
if [[ -z "${DISPLAY:-}" ]]; then
  PELICAN_SNAPSHOT_DIR=$out xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "$(declare -f run); run"
else
  PELICAN_SNAPSHOT_DIR=$out run
fi
mkdir -p docs/windows
for bmp in "$out"/*.bmp; do
  convert "$bmp" "docs/windows/$(basename "${bmp%.bmp}").png"
done
echo "screenshots-windows: $(ls "$out"/*.bmp | wc -l) windows in docs/windows/"
