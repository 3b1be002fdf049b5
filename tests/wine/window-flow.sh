#!/bin/bash
# The window program under Wine on an X display, driven by keys as a user at
# the keyboard would: pelican.exe --simulate from "Select Program" through
# the ID check and "Program..." to "Program OK.", then Exit. Each window is
# captured to OUT/NN-title.png on the way; the last message is compared with
# reference/program-ok.png (Wine's drawing of that box).
# Usage: tests/wine/window-flow.sh PELICAN.exe PROGRAM.mot OUT
# Environment: DISPLAY (an X server such as Xvfb), WINEPREFIX (default: the
# build's own, <build>/wine), WINE (wine).
set -u
exe=${1:?usage: window-flow.sh PELICAN.exe PROGRAM.mot OUT}
program=${2:?usage: window-flow.sh PELICAN.exe PROGRAM.mot OUT}
out=${3:?usage: window-flow.sh PELICAN.exe PROGRAM.mot OUT}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-board.sh"
use_prefix_of "$exe"
[ -n "${DISPLAY:-}" ] || { echo "window-flow: no DISPLAY" >&2; exit 77; }
command -v xdotool >/dev/null || { echo "window-flow: no xdotool" >&2; exit 77; }
ensure_prefix || exit 2
mkdir -p "$out"
# The captures of an earlier run would pass for this one's.
rm -f "$out"/*.png
# Typed as the Linux path: under Wine a path from the root of the current
# drive (Z:, the Linux root) names the same file, and it needs no shifted
# keys, which xdotool cannot always type on a bare X server.
file=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
step=0
last=

fail() {
    echo "window-flow: FAIL: $*" >&2
    import -window root "$out/failed.png" 2>/dev/null
    exit 1
}

# The newest visible window of pelican.exe with this title: its id in $found.
titled() {
    found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1)
    [ -n "$found" ]
}
window() {
    wait_for 60 titled "$1" || return 1
    echo "$found"
}

# The keyboard focus, given to window $1 as a click would give it, and
# waited for until the X server reports it there. No window manager runs on
# the display, so nobody else gives it (and "windowactivate" has nobody to
# ask); with the focus the keys are typed as on the keyboard, not sent as
# made-up events. Wine itself routes them to the window it has active, which
# is the one it showed last: the window found is already that one.
focus() {
    timeout 30 xdotool windowfocus --sync "$1" 2>/dev/null
    [ "$(xdotool getwindowfocus -f 2>/dev/null)" = "$1" ]
}

# Captures window $1 into $2 once its drawing has settled: two captures in
# a row alike (looked at every 50 ms, for up to 30 s).
capture() {
    local earlier=$2.earlier.png
    import -window "$1" "$earlier" 2>/dev/null
    same() {
        import -window "$1" "$2" 2>/dev/null || return 1
        local differ
        differ=$(compare -metric AE "$earlier" "$2" null: 2>&1)
        [ "${differ%% *}" = 0 ] && return 0
        mv "$2" "$earlier"
        return 1
    }
    wait_for 30 same "$1" "$2"
    rm -f "$earlier"
}

# Waits for the window (its id in $last), captures it, then sends it the keys.
at() {
    local title=$1
    shift
    last=$(window "$title") || fail "no window \"$title\" (step $((step + 1)))"
    step=$((step + 1))
    capture "$last" "$out/$(printf %02d $step)-${title// /-}.png"
    focus "$last" || fail "window \"$title\" never took the keyboard focus (step $step)"
    if [ $# -gt 0 ]; then xdotool key --window "$last" --delay 30 "$@"; fi
}

typed() {
    # Types text into the focused control of window $1.
    xdotool type --window "$1" --delay 10 "$2"
}

"$wine" "$exe" --simulate >"$out/pelican.out" 2>&1 </dev/null &
run=$!
trap 'kill $run 2>/dev/null' EXIT

at "Select Program" Return
# The ID check: the file in the first field, then past "Refer..." the
# seven ID bytes; each field full moves on to the next by itself.
at "ID Check"
id=$last
typed "$id" "$file"
xdotool key --window "$id" Tab Tab
for byte in 01 02 03 04 05 06 07; do
    typed "$id" "$byte"
done
xdotool key --window "$id" Return
# The main window: "Program..." is the seventh button in the tab order.
at "Pelican"
main=$last
xdotool key --window "$main" Tab Tab Tab Tab Tab Tab space
at "Input Address" Return
# "Program next area." confirms the range; after the pages "Program OK."
# comes as a message box captioned "Pelican" over the main window.
at "Program" Return
message_box() {
    box=$(xdotool search --onlyvisible --name '^Pelican$' 2>/dev/null | grep -vx "$main" | tail -1)
    [ -n "$box" ]
}
wait_for 120 message_box || fail "no message box after the pages"
step=$((step + 1))
shot="$out/$(printf %02d $step)-program-ok.png"
capture "$box" "$shot"
# The box's text cannot be read from outside: it must look as the box that
# says "Program OK." with its information icon ("Program error." differs
# in its text and its icon).
differ=$(compare -metric AE -fuzz 10% "$shot" "$here/reference/program-ok.png" null: 2>&1)
[ "${differ%% *}" = 0 ] || fail "the message after the pages is not \"Program OK.\" ($differ pixels differ; see $shot)"
focus "$box" || fail "the message box never took the keyboard focus"
xdotool key --window "$box" Return
box_gone() { ! xdotool search --onlyvisible --name '^Pelican$' 2>/dev/null | grep -qx "$box"; }
wait_for 60 box_gone || fail "the message box stayed after Enter"
# Exit: the close step brings the board back to 9600 bps and the program ends.
focus "$main" || fail "the main window never took the keyboard focus back"
xdotool key --window "$main" Escape
ended() { ! kill -0 "$run" 2>/dev/null; }
wait_for 120 ended || fail "the program did not end after Exit"
wait $run
status=$?
[ "$status" = 0 ] || fail "the program ended with $status"
echo "window-flow: passed ($step windows captured in $out)"
