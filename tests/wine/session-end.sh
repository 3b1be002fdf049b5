#!/bin/bash
# The end of the Windows session under Wine (wineboot --end-session sends
# WM_QUERYENDSESSION to every top-level window, hidden ones included, then
# WM_ENDSESSION with the answer; it stops at a program that says "not yet").
#  - batch mode in the middle of an E.P.R. at 115200 bps against pelican-sim
#    on COM7: the board is in work, the end is refused and the run goes on
#    to its end;
#  - a --wait station looking for a board that does not answer: nothing is
#    in work, the session ends and the station with it;
#  - the window program on --simulate at the stored 115200 bps while its ID
#    Check waits: nothing is in work, the session ends; the exchange in
#    flight finishes, the board returns to 9600 bps and the program ends
#    with 129.
# The next run finds the board at 9600 bps.
# Usage: tests/wine/session-end.sh PELICAN.exe PELICAN-SIM
# Environment: DISPLAY (an X server: Wine's windows need one), WINEPREFIX
# (default: the build's own, <build>/wine), WINE (wine). The session's end
# reaches every program of the prefix: nothing else may run in it meanwhile.
set -u
exe=${1:?usage: session-end.sh PELICAN.exe PELICAN-SIM}
sim=${2:?usage: session-end.sh PELICAN.exe PELICAN-SIM}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-board.sh
. "$here/wine-board.sh"
use_prefix_of "$exe"
[ -n "${DISPLAY:-}" ] || { echo "session-end: no DISPLAY" >&2; exit 77; }
command -v xdotool >/dev/null || { echo "session-end: no xdotool" >&2; exit 77; }

failures=0
fail() { echo "session-end: FAIL: $*" >&2; failures=$((failures + 1)); }

work=$(mktemp -d "${TMPDIR:-/tmp}"/pelican-wine-session.XXXXXX)
trap 'stop_boards; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
ensure_prefix || exit 2
# 768 pages: some 20 s of pages at 115200 bps, time enough for the end of
# the session to come on a loaded machine while each exchange stays short.
srec_cat -generate 0xC0000 0xF0000 -repeat-string "Pelican ends with the session" -o "$work/prog.mot" \
    -address-length=3 || exit 2
printf 'FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n' > "$work/prog.id"
file=$(winepath_w "$work/prog.mot")

# end_session: wineboot's status, 0 once every program let the session end.
end_session() {
    timeout 120 wineboot --end-session
}

# expect_ending FILE: the account of an ending that returned the board.
expect_ending() {
    local err
    err=$(tr -d '\r' < "$1")
    grep -qx 'pelican: the session ending: returning the link to 9600 bps' <<<"$err" ||
        fail "no return to 9600 bps told: $err"
    grep -qx 'pelican: link at 9600 bps; port closed' <<<"$err" || fail "the board did not confirm 9600 bps: $err"
}

echo "== batch mode in the middle of an E.P.R. at 115200 bps: the end is refused"
start_board com7 "$sim" --erase-ms 500 || exit 2
"$wine" "$exe" -p COM7 -b 115200 -f "$file" -y epr > "$work/epr.out" 2> "$work/epr.err" </dev/null &
run=$!
# The pages are on their way once the link runs at 115200 bps.
wait_for 120 grep -qs 'link up at 115200 bps' "$work/epr.err" || fail "the run never reached 115200 bps"
end_session && fail "the session ended while a board was in work"
wait "$run"
status=$?
[ "$status" = 0 ] || fail "batch mode ended with $status, not 0: $(tr -d '\r' < "$work/epr.err")"
! grep -qs 'session ending' "$work/epr.err" || fail "the refused end ended the run: $(tr -d '\r' < "$work/epr.err")"
timeout 120 "$wine" "$exe" -p COM7 status > "$work/status.out" 2>&1 </dev/null
status=$?
[ "$status" = 0 ] || fail "the board was not at 9600 bps after the run: $status $(tr -d '\r' < "$work/status.out")"
stop_boards

echo "== a --wait station looking for its board: the session ends"
start_silent com7 || exit 2
"$wine" "$exe" -p COM7 --wait version > "$work/wait.out" 2> "$work/wait.err" </dev/null &
run=$!
wait_for 120 grep -qs 'waiting for a board on COM7' "$work/wait.err" || fail "the station never waited for a board"
end_session || fail "the session's end was refused while no board was in work ($?)"
# The station is over with the session (Wine ends a program once it has
# answered, so its exit status is not told).
gone() { ! kill -0 "$1" 2>/dev/null; }
wait_for 60 gone "$run" || { fail "the station outlived the session"; kill "$run"; }
wait "$run"
stop_boards

echo "== the window program at 115200 bps, its ID Check waiting"
# The rate stored where the prefix's user keeps his settings (Wine sets
# APPDATA itself).
appdata=$(timeout 60 "$wine" cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
appdata=$(WINEDEBUG=-all timeout 60 winepath -u "$appdata" 2>/dev/null)
[ -d "$appdata" ] || fail "no APPDATA folder in the prefix: $appdata"
printf '[Last Comm State]\r\nBaundrate=115200\r\nByte=8\r\nStop Bit=0\r\nParity=0\r\n' > "$appdata/pelican.INI"
"$wine" "$exe" --simulate > "$work/window.out" 2> "$work/window.err" </dev/null &
run=$!
window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1; }
shown() { [ -n "$(window "$1")" ]; }
wait_for 60 shown 'Select Program' || fail "no \"Select Program\""
xdotool key --window "$(window 'Select Program')" Return
wait_for 60 shown 'ID Check' || fail "no \"ID Check\" after the start-up"
end_session || fail "the session's end was refused at the ID Check ($?)"
wait "$run"
status=$?
[ "$status" = 129 ] || fail "the window program ended with $status, not 129: $(tr -d '\r' < "$work/window.err")"
expect_ending "$work/window.err"

if [ "$failures" -gt 0 ]; then
    echo "session-end: $failures failure(s)" >&2
    exit 1
fi
echo "session-end: all passed"
