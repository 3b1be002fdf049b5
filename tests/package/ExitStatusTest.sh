#!/usr/bin/env bash
# Every exit status that --help names is in the batch-mode page's table and the
# manual page; the JSON exit outcomes are the same in the manual page and the
# page on JSON events.
set -euo pipefail
program="$1"
table="$2"
events="$3"
page="$4"
footer=$("$program" --help | sed -n '/^Exit status:/,$p')
statuses=$(grep -oE '(^|[ ,(])[0-9]{1,3} ' <<<"$footer" | grep -oE '[0-9]+' | sort -un)
status=0
for code in $statuses; do
  if [ "$code" -ge 128 ]; then
    grep -q "| 128 + N |.*$code" "$table" || { echo "$table lacks $code"; status=1; }
  else
    grep -q "^| $code |" "$table" || { echo "$table lacks $code"; status=1; }
  fi
  grep -q "^\.B .*$code" "$page" || { echo "manual page lacks $code"; status=1; }
done
[ -n "$statuses" ] || { echo "no exit statuses in --help"; status=1; }
# The JSON exit outcomes: the same list in both, and none that no run prints.
# A usage error prints no JSON line; a batch run locks its port, never the
# whole program ("already running" is the window program's).
page_outcomes=$(tr '\n' ' ' <"$page" | grep -oE '"exit" \(status, and outcome: [^)]*\)' | sed 's/.*outcome: //; s/)$//; s/ or /, /' | tr -s ' ')
doc_outcomes=$(tr '\n' ' ' <"$events" | grep -oE 'outcome: `ok`[^)]*\)' | sed 's/outcome: //; s/)$//; s/ or /, /; s/`//g' | tr -s ' ')
[ -n "$page_outcomes" ] || { echo "no JSON outcomes in the manual page"; status=1; }
[ "$page_outcomes" = "$doc_outcomes" ] || { echo "JSON outcomes differ: [$page_outcomes] [$doc_outcomes]"; status=1; }
for never in usage "already running"; do
  grep -qE "(^|, )$never(,|$)" <<<"$page_outcomes" && { echo "the manual page lists '$never', which no run prints"; status=1; }
done
[ -z "$("$program" --json --no-such-option status 2>/dev/null)" ] || { echo "a usage error printed JSON"; status=1; }
exit $status
