#!/bin/bash
# How long a station waits for a PostgreSQL server that is not there, in a
# network of its own (run as root: it makes one with unshare -n, so the
# machine's own network is never touched). Not a test: it prints times.
#   bench/store-timeouts.sh BUILD   (BUILD: the Linux build folder)
# 1. a host that does not answer (its packets are dropped): the run ends
#    with exit 7 and one line, the board untouched;
# 2. the network gone in the middle of a board's run (during an 8 s erase):
#    the record is kept in the station's spool.
set -u
if [ "${1:-}" != --inside ]; then
    exec unshare -n "$0" --inside "$(cd "${1:?usage: store-timeouts.sh BUILD}" && pwd)"
fi
build=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/pelican-timeouts.XXXXXX)
chmod 755 "$work"
export HOME=$work XDG_CONFIG_HOME=$work/.config
srec_cat -generate 0xC0000 0xC0400 -repeat-string "Pelican " -o "$work/prog.mot" -address-length=3
printf 'FFFDF 01\nFFFE3 02\nFFFEB 03\nFFFEF 04\nFFFF3 05\nFFFF7 06\nFFFFB 07\n' > "$work/prog.id"
ip link set lo up
# Not a local address: its packets leave through lo and nobody takes them.
ip route add 10.9.9.0/24 dev lo
now() { date +%s.%N; }
export pel=$build/src/pelican sim=$build/src/sim/pelican-sim work
echo "== a host that does not answer"
start=$(now)
"$pel" --simulate -f "$work/prog.mot" -y --store postgresql://line@10.9.9.2/pelican \
    --serial-number C0100:le32:widget epr 2>&1 | grep database
echo "exit ${PIPESTATUS[0]} after $(echo "$(now) - $start" | bc) s"
echo "== the network gone during the board's erase"
"$here/../tests/batch/PostgresqlServer.sh" bash -c '
  coproc board { exec "$sim" --erase-ms 8000 </dev/null; }
  read -r pty <&"${board[0]}"
  "$pel" -p "$pty" -f "$work/prog.mot" -y --store "$PELICAN_TEST_POSTGRESQL" \
      --serial-number C0100:le32:widget epr >"$work/run.out" 2>&1 &
  run=$!
  until grep -q "serial number" "$work/run.out"; do sleep 0.1; done
  sleep 1
  ip link set lo down
  start=$(date +%s.%N)
  wait $run
  status=$?
  echo "exit $status after $(echo "$(date +%s.%N) - $start" | bc) s from the network going"
  grep -E "kept|database" "$work/run.out"
  kill $board_PID
  ip link set lo up'
rm -rf "$work"
