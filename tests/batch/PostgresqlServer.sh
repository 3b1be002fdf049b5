#!/usr/bin/env bash
# Runs the test program given (with its arguments) against a throwaway
# PostgreSQL server: a cluster made in a temporary folder, listening on a
# free port of 127.0.0.1 and on a socket in that folder, with a password
# that only the password file holds. The server is stopped and the folder
# removed however the test ends. Exit 77 (skipped) when the machine has no
# PostgreSQL server or no ODBC driver for it.
set -euo pipefail
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ] || ! command -v psql >/dev/null; then
  echo "SKIP: no PostgreSQL server here (Debian: apt-get install postgresql)"
  exit 77
fi
if ! grep -qs '^\[PostgreSQL Unicode\]' /etc/odbcinst.ini; then
  echo "SKIP: no \"PostgreSQL Unicode\" ODBC driver in /etc/odbcinst.ini (Debian: apt-get install odbc-postgresql)"
  exit 77
fi
dir=$(mktemp -d /tmp/pelican-pg.XXXXXX)
# The server refuses to run as root: CI's root runs it as nobody.
as=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$dir"
  as=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
cleanup() {
  "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT
password=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
printf '%s\n' "$password" >"$dir/password"
chmod 600 "$dir/password"
[ "$(id -u)" -eq 0 ] && chown nobody "$dir/password"
"${as[@]}" "$bin/initdb" -D "$dir/data" -U line --auth=scram-sha-256 --pwfile="$dir/password" >"$dir/initdb.log" 2>&1 ||
  { cat "$dir/initdb.log"; exit 1; }
# A port of 127.0.0.1 that nothing answers on; another one when a server of
# another test took it in the meantime.
started=
for try in 1 2 3 4 5 6 7 8; do
  port=$((20000 + RANDOM % 40000))
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then continue; fi
  if "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -o "-k $dir -h 127.0.0.1 -p $port" start >/dev/null 2>&1; then
    started=1
    break
  fi
done
[ -n "$started" ] || { cat "$dir/server.log"; exit 1; }
# The password reaches libpq (under the ODBC driver, and psql) from the
# password file, never from the URL.
printf '127.0.0.1:%s:*:line:%s\n' "$port" "$password" >"$dir/pgpass"
chmod 600 "$dir/pgpass"
export PGPASSFILE=$dir/pgpass
"$bin/createdb" -h 127.0.0.1 -p "$port" -U line pelican
export PELICAN_TEST_POSTGRESQL="postgresql://line@127.0.0.1:$port/pelican"
# How a test stops its server mid-run (the stations' connections cut, as
# an administrator's shutdown cuts them) and starts it again: command
# lines for /bin/sh.
ctl=$(printf '%q ' "${as[@]}" "$bin/pg_ctl" -D "$dir/data")
export PELICAN_TEST_POSTGRESQL_STOP="$ctl -m fast -w stop >/dev/null"
export PELICAN_TEST_POSTGRESQL_START="$ctl -l $(printf '%q' "$dir/server.log") -w -o $(printf '%q' "-k $dir -h 127.0.0.1 -p $port") start >/dev/null"
"$@"
