#!/usr/bin/env bash
# The bash completion, sourced as bash-completion loads it, completing
# command lines of the built pelican.
set -uo pipefail
program="$1"
completion="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=/dev/null
source "$completion"
status=0

# Prints the completions of the command line given as words, the last being
# the one under the cursor.
complete_words() {
    COMP_WORDS=("$program" "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _pelican
    printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort
}
expect() {
    local want=$1
    shift
    local got
    got=$(complete_words "$@")
    if [ "$got" != "$(tr -s ' ' '\n' <<<"$want" | sed '/^$/d' | sort)" ]; then
        echo "pelican $* <Tab>: expected [$want], got [$(tr '\n' ' ' <<<"$got")]"
        status=1
    fi
}

complete -p pelican | grep -q -- '-F _pelican' || { echo "no completion registered for pelican"; status=1; }

# Options and actions: every one --help names, and nothing else.
help=$("$program" --help)
expect "$(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u | tr '\n' ' ')" --
expect "$(sed -n 's/^  \([a-z][a-z]*\)  .*/\1/p' <<<"$help" | tr '\n' ' ')" ""
expect "--port" --po
expect "status setting" s
expect "status" load st

# Values the help names, and the boot loader's baud rates.
expect "flash boot" -t ""
expect "sp w" --mcu ""
expect "9600 19200 38400 57600 115200" -b ""
expect "115200" --baud 11

# Ports: the COM names and the serial devices present, also after "=".
mkdir -p "$work/by-id"
touch "$work/ttyUSB0" "$work/ttyUSB1" "$work/ttyACM0" "$work/by-id/usb-FTDI_FT232R-if00-port0"
default_patterns=("${_pelican_port_patterns[@]}")
_pelican_port_patterns=("$work/ttyUSB*" "$work/ttyACM*" "$work/by-id/*")
all_ports="COM1 COM2 COM3 COM4 $work/ttyUSB0 $work/ttyUSB1 $work/ttyACM0 $work/by-id/usb-FTDI_FT232R-if00-port0"
expect "$all_ports" --port ""
expect "$all_ports" -p ""
expect "$all_ports" --port =
expect "COM1 COM2 COM3 COM4" --port = CO
expect "$work/ttyUSB0 $work/ttyUSB1" -p "$work/ttyU"
# The shipped patterns offer what this machine has.
_pelican_port_patterns=("${default_patterns[@]}")
present=$(compgen -G '/dev/ttyUSB*'; compgen -G '/dev/ttyACM*'; compgen -G '/dev/serial/by-id/*')
expect "COM1 COM2 COM3 COM4 $(tr '\n' ' ' <<<"$present")" --port ""

# Program and output files.
touch "$work/prog.mot" "$work/prog.id" "$work/other.hex"
expect "$work/prog.mot $work/prog.id" -f "$work/pr"
expect "$work/other.hex" --output "$work/o"
# A value without a list gets nothing rather than actions.
expect "" --range ""
exit $status
