#!/usr/bin/env bash
# The manual page and --help describe the same options and actions.
set -euo pipefail
program="$1"
page="$2"
help=$("$program" --help)

options_in_help=$(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u)
options_in_page=$(grep -oE -- '\\-\\-[a-z][a-z0-9\\-]*' "$page" | sed 's/\\-/-/g' | sort -u)
status=0
for option in $options_in_help; do
  grep -qx -- "$option" <<<"$options_in_page" || { echo "not in the manual page: $option"; status=1; }
done
for option in $options_in_page; do
  grep -qx -- "$option" <<<"$options_in_help" || { echo "not in --help: $option"; status=1; }
done

# Each option with an argument begins an entry of its own (.TP): without
# it, the option runs into the text of the one before.
while IFS= read -r line; do
  echo "option not at the start of an entry: $line"; status=1
done < <(awk '/^\.BR? \\-[^ ]* " \\fI/ { if (prev != ".TP") print NR": "$0 } { prev = $0 }' "$page")

# The actions' table: an action, then its words.
actions=$(sed -n 's/^  \([a-z][a-z]*\)  .*/\1/p' <<<"$help")
for action in $actions; do
  grep -qx "\.B $action" "$page" || { echo "action not in the manual page: $action"; status=1; }
done
exit $status
