#!/bin/bash
# Times pelican.exe under Wine: a batch E.P.R. of 64 pages at 115200 bps
# against pelican-sim on a pseudo-terminal mapped to COM8, its program and
# read phases beside the protocol's minimum for them (every page frame's
# line time, plus the 40 ms program interval after each programmed page),
# best of three runs.
# Usage: bench/wine-epr.sh [PELICAN.exe] [PELICAN-SIM]
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
exe=${1:-$root/build-win/src/pelican.exe}
sim=${2:-$root/build/src/sim/pelican-sim}
. "$root/tests/wine/wine-board.sh"
WINEPREFIX=${WINEPREFIX:-$(default_prefix "$exe")}
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
wine=${WINE:-wine}
work=$(mktemp -d /tmp/pelican-wine-bench.XXXXXX)
trap 'stop_boards; rm -rf "$work"' EXIT
ensure_prefix || exit 2
srec_cat -generate 0xC0000 0xC4000 -repeat-string "Pelican bench 0123456789" -o "$work/prog.mot" \
    -address-length=3 || exit 2
printf 'FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n' > "$work/prog.id"
file=$(winepath_w "$work/prog.mot")

# Line time of n bytes at 115200 bps, 10 bits a byte, in ms.
minimum_program=$(awk 'BEGIN { printf "%.1f", 64 * ((259 + 1 + 2) * 10 * 1000 / 115200 + 40) }')
minimum_read=$(awk 'BEGIN { printf "%.1f", 64 * (3 + 256) * 10 * 1000 / 115200 }')
best=0
printf '%-5s %12s %12s %12s %12s %8s\n' run "program ms" "read ms" "both ms" "minimum ms" ratio
for run in 1 2 3; do
    start_board com8 "$sim" --erase-ms 500 || exit 2
    timeout 300 "$wine" "$exe" -p COM8 -b 115200 -f "$file" -y --json epr > "$work/run.json" 2> "$work/run.err" </dev/null
    status=$?
    stop_boards
    if [ "$status" != 0 ]; then
        echo "wine-epr: run $run ended with $status: $(tr -d '\r' < "$work/run.err")" >&2
        exit 1
    fi
    program=$(tr -d '\r' < "$work/run.json" | sed -n 's/.*"title":"Program".*"ms":\([0-9]*\),"pages":64.*/\1/p')
    read=$(tr -d '\r' < "$work/run.json" | sed -n 's/.*"title":"Read check.".*"ms":\([0-9]*\),"pages":64.*/\1/p')
    if [ -z "$program" ] || [ -z "$read" ]; then
        echo "wine-epr: run $run gave no phase times of 64 pages" >&2
        exit 1
    fi
    line=$(awk -v p="$program" -v r="$read" -v mp="$minimum_program" -v mr="$minimum_read" -v n="$run" \
        'BEGIN { printf "%-5s %12d %12d %12d %12.1f %8.3f", n, p, r, p + r, mp + mr, (mp + mr) / (p + r) }')
    echo "$line"
    ratio=${line##* }
    best=$(awk -v a="$best" -v b="$ratio" 'BEGIN { print (b > a) ? b : a }')
done
echo "best ratio (minimum / measured): $best (target >= 0.95)"
awk -v b="$best" 'BEGIN { exit !(b >= 0.95) }'
