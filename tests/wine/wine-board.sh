# Shared by the Wine scripts: a Wine prefix, and boards on pseudo-terminals
# mapped to COM ports in it. Sourced, not run.

# default_prefix PROGRAM: the Wine prefix of the build PROGRAM belongs to
# (<build>/wine, the one scripts/run-windows-tests.sh prepares), else a new
# folder of its own: two checkouts never share a prefix, nor its COM ports.
default_prefix() {
    local dir
    dir=$(cd "$(dirname "$1")" 2>/dev/null && pwd) || dir=/
    while [ "$dir" != / ]; do
        if [ -f "$dir/CMakeCache.txt" ]; then
            printf '%s/wine' "$dir"
            return
        fi
        dir=$(dirname "$dir")
    done
    mktemp -d "${TMPDIR:-/tmp}"/pelican-wine.XXXXXX
}

# What every script sets up first: the prefix (EXE's build's own unless
# WINEPREFIX names one), Wine quiet, and the wine to run ($wine).
use_prefix_of() {
    WINEPREFIX=${WINEPREFIX:-$(default_prefix "$1")}
    export WINEPREFIX
    export WINEDEBUG=${WINEDEBUG:--all}
    wine=${WINE:-wine}
}

# wait_for SECONDS COMMAND...: runs COMMAND again every 50 ms until it
# succeeds; false when SECONDS passed first. The limit only ends the wait
# for something that never comes: keep it well beyond a busy machine's need.
wait_for() {
    local until=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$until" ] || return 1
        sleep 0.05
    done
}

winepath_w() {
    # A Linux path as Windows programs under Wine name it (Z:\...).
    local path
    path=$(WINEDEBUG=-all timeout 60 winepath -w "$1" 2>/dev/null) || return 1
    printf '%s' "${path%$'\r'}"
}

ensure_prefix() {
    if [ ! -d "$WINEPREFIX/dosdevices" ]; then
        timeout 300 wineboot -i >/dev/null 2>&1 || { echo "wine: wineboot failed" >&2; return 1; }
    fi
}

board_pids=()
board_links=()
board_fds=()

# link_terminal COMn FD WHAT: reads the terminal's path that the program
# behind FD prints once it serves it, and links it as COMn.
link_terminal() {
    local com=$1 fd=$2 pty
    if ! read -r -t 30 -u "$fd" pty || [ ! -c "$pty" ]; then
        echo "wine: $3 printed no terminal" >&2
        return 1
    fi
    ln -sfn "$pty" "$WINEPREFIX/dosdevices/$com"
    board_links+=("$WINEPREFIX/dosdevices/$com")
}

# start_board COMn PELICAN-SIM [options]: the simulated board, linked as COMn.
start_board() {
    local com=$1 sim=$2 fd
    shift 2
    exec {fd}< <(exec "$sim" "$@" </dev/null)
    board_pids+=($!)
    board_fds+=("$fd")
    link_terminal "$com" "$fd" pelican-sim
}

# start_silent COMn: a terminal whose other end is held open but never
# answers, linked as COMn.
start_silent() {
    local com=$1 fd
    exec {fd}< <(exec python3 -c '
import os, pty, signal
master, slave = pty.openpty()
print(os.ttyname(slave), flush=True)
signal.pause()' </dev/null)
    board_pids+=($!)
    board_fds+=("$fd")
    link_terminal "$com" "$fd" "the silent board"
}

stop_boards() {
    local pid link fd
    for pid in "${board_pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
    for link in "${board_links[@]}"; do rm -f "$link"; done
    for fd in "${board_fds[@]}"; do exec {fd}<&-; done
    board_pids=()
    board_links=()
    board_fds=()
}
