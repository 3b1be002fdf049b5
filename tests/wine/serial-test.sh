#!/bin/bash
# Runs the Windows serial back end's test program under Wine against the
# simulated board: pelican-sim serves a pseudo-terminal, the Wine prefix
# maps it to COM5 (and has no COM9), and the test program drives it.
# Usage: tests/wine/serial-test.sh TEST.exe [PELICAN-SIM] [gtest options...]
# Environment: WINEPREFIX (default: the build's own, <build>/wine), WINE (wine),
# SERIAL_TEST_TIMEOUT (seconds, default 120).
# The exit status is the test program's (124 when it ran out of time), 77
# when there is no pelican-sim to run against.
set -u
test_exe=${1:?usage: serial-test.sh TEST.exe [PELICAN-SIM] [gtest options...]}
shift
root=$(cd "$(dirname "$0")/../.." && pwd)
sim=${1:-$root/build/src/sim/pelican-sim}
[ $# -gt 0 ] && shift
# shellcheck source=wine-board.sh
. "$root/tests/wine/wine-board.sh"
WINEPREFIX=${WINEPREFIX:-$(default_prefix "$test_exe")}
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
wine=${WINE:-wine}
limit=${SERIAL_TEST_TIMEOUT:-120}

if [ ! -x "$sim" ]; then
    echo "serial-test: no simulated board at $sim (cmake --build build --target pelican-sim): skipped" >&2
    exit 77
fi
if [ ! -d "$WINEPREFIX/dosdevices" ]; then
    timeout 300 wineboot -i >/dev/null 2>&1 || { echo "serial-test: wineboot failed" >&2; exit 2; }
fi
link=$WINEPREFIX/dosdevices/com5
missing=$WINEPREFIX/dosdevices/com9

sim_pid=
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -f "$link"
    exec {sim_out}<&- 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

rm -f "$missing"
# The board prints its terminal's path once it serves it: read that line
# (bounded), then link the path as COM5.
exec {sim_out}< <(exec "$sim" </dev/null)
sim_pid=$!
if ! read -r -t 30 -u "$sim_out" pty || [ ! -c "$pty" ]; then
    echo "serial-test: pelican-sim printed no terminal" >&2
    exit 2
fi
ln -sfn "$pty" "$link"

timeout --kill-after=10 "$limit" "$wine" "$test_exe" "$@"
status=$?
# The Wine server of the prefix goes with the test, not with this shell's
# process group.
timeout 30 wineserver -w 2>/dev/null
exit $status
