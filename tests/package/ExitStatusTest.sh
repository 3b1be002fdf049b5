#!/usr/bin/env bash
# Every exit status that --help names is in the README's table and the manual page.
set -euo pipefail
program="$1"
readme="$2"
page="$3"
footer=$("$program" --help | sed -n '/^Exit status:/,$p')
statuses=$(grep -oE '(^|[ ,(])[0-9]{1,3} ' <<<"$footer" | grep -oE '[0-9]+' | sort -un)
status=0
for code in $statuses; do
  if [ "$code" -ge 128 ]; then
    grep -q "| 128 + N |.*$code" "$readme" || { echo "README lacks $code"; status=1; }
  else
    grep -q "^| $code |" "$readme" || { echo "README lacks $code"; status=1; }
  fi
  grep -q "^\.B .*$code" "$page" || { echo "manual page lacks $code"; status=1; }
done
[ -n "$statuses" ] || { echo "no exit statuses in --help"; status=1; }
exit $status
