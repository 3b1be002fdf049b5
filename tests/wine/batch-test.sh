#!/bin/bash
# pelican.exe in batch mode under Wine against the simulated board on a
# pseudo-terminal mapped to COM7: E.P.R. then Read of a 64-page file at
# 115200 bps ending with the flash equal to the file (dumped and compared
# byte for byte), the exit statuses of a silent board (3) and of a port
# another run holds (6), and the settings of a user whose folder's name is
# not ASCII, found again by the next run.
# Usage: tests/wine/batch-test.sh PELICAN.exe PELICAN-SIM
# Environment: WINEPREFIX (default: the build's own, <build>/wine), WINE (wine).
set -u
exe=${1:?usage: batch-test.sh PELICAN.exe PELICAN-SIM}
sim=${2:?usage: batch-test.sh PELICAN.exe PELICAN-SIM}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-board.sh
. "$here/wine-board.sh"
use_prefix_of "$exe"

failures=0
fail() { echo "batch-test: FAIL: $*" >&2; failures=$((failures + 1)); }

work=$(mktemp -d "${TMPDIR:-/tmp}"/pelican-wine-batch.XXXXXX)
trap 'stop_boards; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
ensure_prefix || exit 2

# 64 pages of a pattern that changes with the address, and the same bytes
# as a binary to compare the dump with.
srec_cat -generate 0xC0000 0xC4000 -repeat-string "Pelican under Wine 0123456789abcdef" \
    -o "$work/prog.mot" -address-length=3 || exit 2
printf 'FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n' > "$work/prog.id"
srec_cat "$work/prog.mot" -offset -0xC0000 -o "$work/expect.bin" -binary || exit 2
file=$(winepath_w "$work/prog.mot")
dump=$(winepath_w "$work/dump.bin")

echo "== E.P.R. then Read at 115200 bps"
start_board com7 "$sim" --erase-ms 500 || exit 2
timeout 300 "$wine" "$exe" -p COM7 -b 115200 -f "$file" -y --json epr read > "$work/epr.json" 2> "$work/epr.err" </dev/null
status=$?
tr -d '\r' < "$work/epr.json" | grep -v '"progress"'
[ "$status" = 0 ] || fail "E.P.R. then Read ended with $status: $(tr -d '\r' < "$work/epr.err")"
grep -q '"text":"Program OK."' "$work/epr.json" || fail "no \"Program OK.\""
grep -q '"title":"Read check.".*"pages":64' "$work/epr.json" || fail "the read check did not read 64 pages"
timeout 120 "$wine" "$exe" -p COM7 -b 115200 -f "$file" -r C0000-C3FFF -o "$dump" dump > "$work/dump.out" 2>&1 </dev/null
status=$?
[ "$status" = 0 ] || fail "dump ended with $status: $(tr -d '\r' < "$work/dump.out")"
cmp -s "$work/dump.bin" "$work/expect.bin" || fail "the flash differs from the file"
stop_boards

echo "== a board that never answers: exit 3"
start_silent com7 || exit 2
timeout 120 "$wine" "$exe" -p COM7 status > "$work/silent.out" 2>&1 </dev/null
status=$?
[ "$status" = 3 ] || fail "silent board: exit $status, not 3: $(tr -d '\r' < "$work/silent.out")"
stop_boards

echo "== a port another run holds: exit 6"
# The first run holds the port from its start-up to the end of its erase:
# the erase lasts 30 s (the program waits 40 s for it), time enough for a
# second Wine program to start on a loaded machine.
start_board com7 "$sim" --erase-ms 30000 || exit 2
timeout 180 "$wine" "$exe" -p COM7 -f "$file" -y erase > "$work/first.out" 2>&1 </dev/null &
first=$!
wait_for 120 grep -qs 'link up' "$work/first.out" || fail "the first run never got the link up"
timeout 60 "$wine" "$exe" -p com7 status > "$work/second.out" 2>&1 </dev/null
status=$?
[ "$status" = 6 ] || fail "held port: exit $status, not 6: $(tr -d '\r' < "$work/second.out")"
wait "$first" || fail "the first run ended with $?: $(tr -d '\r' < "$work/first.out")"
stop_boards

echo "== the settings of a user whose folder is named José"
# A prefix of that user's own: Wine names the profile folder after the user
# and sets APPDATA to its AppData\Roaming. Wine reads the names in the
# locale's encoding.
jose() { LC_ALL=C.UTF-8 USER=José WINEPREFIX="$work/prefix" "$@"; }
if ! jose timeout 300 wineboot -i >/dev/null 2>&1; then
    fail "no prefix for the user José"
else
    roaming=$work/prefix/drive_c/users/José/AppData/Roaming
    [ -d "$roaming" ] || fail "the prefix has no $roaming"
    exec {sim_fd}< <(exec "$sim" </dev/null)
    sim_pid=$!
    read -r -t 30 -u "$sim_fd" pty && ln -sfn "$pty" "$work/prefix/dosdevices/com7"
    jose timeout 120 "$wine" "$exe" -p COM7 -b 115200 status > "$work/first.out" 2>&1 </dev/null
    status=$?
    [ "$status" = 0 ] || fail "the run at 115200 bps ended with $status: $(tr -d '\r' < "$work/first.out")"
    grep -q 'Baundrate=115200' "$roaming/pelican.INI" 2>/dev/null || fail "no rate stored in $roaming/pelican.INI"
    others=$(ls "$work/prefix/drive_c/users" | grep -vx 'José\|Public')
    [ -z "$others" ] && [ "$(find "$work/prefix/drive_c/users" -name pelican.INI | wc -l)" = 1 ] ||
        fail "the settings went elsewhere: $others $(find "$work/prefix/drive_c/users" -name pelican.INI)"
    # The next run starts at the rate the first one stored.
    jose timeout 120 "$wine" "$exe" -p COM7 status > "$work/second.out" 2>&1 </dev/null
    status=$?
    [ "$status" = 0 ] || fail "the second run ended with $status: $(tr -d '\r' < "$work/second.out")"
    tr -d '\r' < "$work/second.out" | grep -q 'link up at 115200 bps' ||
        fail "the second run did not find the stored rate: $(tr -d '\r' < "$work/second.out")"
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
    exec {sim_fd}<&-
    jose timeout 30 wineserver -k 2>/dev/null
fi

if [ "$failures" -gt 0 ]; then
    echo "batch-test: $failures failure(s)" >&2
    exit 1
fi
echo "batch-test: all passed"
