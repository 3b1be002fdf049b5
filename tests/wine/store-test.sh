#!/bin/bash
# pelican.exe under Wine with --store against the simulated board on a
# pseudo-terminal mapped to COM7: three runs, each taking the counter's next
# number in the database and writing it into the board's flash; the
# database then holds three whole rows, numbers 1, 2 and 3, each once.
# Wine's odbc32 hands the calls to the host's unixODBC, so the drivers are
# the host's and a SQLite file's path is the host's own.
# Usage: tests/wine/store-test.sh PELICAN.exe PELICAN-SIM
# Environment: PELICAN_TEST_POSTGRESQL (a server's URL, as
# tests/batch/PostgresqlServer.sh sets it; without it, a SQLite file),
# WINEPREFIX (default: the build's own), WINE (wine).
set -u
exe=${1:?usage: store-test.sh PELICAN.exe PELICAN-SIM}
sim=${2:?usage: store-test.sh PELICAN.exe PELICAN-SIM}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-board.sh
. "$here/wine-board.sh"
use_prefix_of "$exe"

failures=0
fail() { echo "store-test: FAIL: $*" >&2; failures=$((failures + 1)); }

work=$(mktemp -d "${TMPDIR:-/tmp}"/pelican-wine-store.XXXXXX)
chmod 755 "$work"
trap 'stop_boards; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
ensure_prefix || exit 2

if [ -n "${PELICAN_TEST_POSTGRESQL:-}" ]; then
    store=$PELICAN_TEST_POSTGRESQL
    query() { psql -X -q -A -t -F '|' -d "$store" -c "$1"; }
    query "DROP TABLE IF EXISTS pelican_board, pelican_counter, pelican_schema" || exit 2
else
    store=sqlite:$work/line.db
    query() { sqlite3 -separator '|' "$work/line.db" "$1"; }
fi

srec_cat -generate 0xC0000 0xC0400 -repeat-string "Pelican's line under Wine " -o "$work/prog.mot" \
    -address-length=3 || exit 2
printf 'FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n' > "$work/prog.id"
file=$(winepath_w "$work/prog.mot")

start_board com7 "$sim" || exit 2
for number in 1 2 3; do
    echo "== board $number, $store"
    timeout 300 "$wine" "$exe" -p COM7 -f "$file" -y --store "$store" --serial-number C0100:le32:widget epr \
        > "$work/run.out" 2> "$work/run.err" </dev/null
    status=$?
    tr -d '\r' < "$work/run.err"
    [ "$status" = 0 ] || fail "board $number ended with $status"
    grep -q "serial number $number at 0C0100-0C0103 (le32: 0$number 00 00 00)" "$work/run.err" ||
        fail "board $number was not told number $number"
done
timeout 120 "$wine" "$exe" -p COM7 -f "$file" -r C0100-C0103 -o "$(winepath_w "$work/serial.bin")" dump \
    > "$work/dump.out" 2>&1 </dev/null || fail "dump: $(tr -d '\r' < "$work/dump.out")"
# The dump holds the whole page; the number is its first four bytes.
[ "$(od -An -tx1 -N4 "$work/serial.bin" | tr -d ' \n')" = 03000000 ] || fail "the flash does not hold number 3"
stop_boards

rows=$(query "SELECT serial_name, serial_value, serial_bytes, state, outcome, exit_status, port
              FROM pelican_board ORDER BY serial_value")
expected='widget|1|01000000|done|ok|0|COM7
widget|2|02000000|done|ok|0|COM7
widget|3|03000000|done|ok|0|COM7'
[ "$rows" = "$expected" ] || fail "the rows are
$rows
not
$expected"
[ "$(query "SELECT next_value FROM pelican_counter WHERE name = 'widget'")" = 4 ] || fail "the counter is not at 4"

[ "$failures" = 0 ] || exit 1
echo "store-test: OK"
