#!/bin/bash
# The NSIS installer under Wine, in a prefix of its own made for the test:
# a silent install (/S), every Start-menu entry's target there, the
# installed pelican.exe --version, a silent uninstall, and nothing left of
# it (files, the Start-menu folder, the Uninstall key).
# Usage: tests/wine/installer-test.sh INSTALLER.exe VERSION
# Environment: WINE (wine). Debian's NSIS makes a 32-bit installer: Wine
# needs its 32-bit half (wine32:i386, scripts/build-windows.sh installs it).
set -u
installer=${1:?usage: installer-test.sh INSTALLER.exe VERSION}
version=${2:?usage: installer-test.sh INSTALLER.exe VERSION}
here=$(cd "$(dirname "$0")" && pwd)
wine=${WINE:-wine}
export WINEDEBUG=${WINEDEBUG:--all}
[ -f "$installer" ] || { echo "installer-test: no installer $installer (cpack -G NSIS makes it)" >&2; exit 1; }
installer=$(cd "$(dirname "$installer")" && pwd)/$(basename "$installer")
# Without the 32-bit half Wine cannot start the installer at all: that is
# the machine's lack, not the installer's fault, and ctest shows it skipped.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    echo "installer-test: SKIPPED: wine32:i386 is not installed (scripts/build-windows.sh installs it)" >&2
    exit 77
fi

failures=0
fail() { echo "installer-test: FAIL: $*" >&2; failures=$((failures + 1)); }

work=$(mktemp -d "$(dirname "$installer")/installer-test.XXXXXX")
export WINEPREFIX=$work/prefix
finish() {
    timeout 30 wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM
timeout 300 wineboot -i >/dev/null 2>&1 || { echo "installer-test: wineboot failed" >&2; exit 2; }
unix() { WINEDEBUG=-all timeout 60 winepath -u "$1" 2>/dev/null; }
programs=$work/prefix/drive_c/Program\ Files/Pelican
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelican'
# The 32-bit installer writes the 32-bit view of the registry.
registered() { timeout 60 "$wine" reg query "$key" /reg:32 >/dev/null 2>&1; }

echo "== silent install"
timeout 300 "$wine" "$(WINEDEBUG=-all winepath -w "$installer")" /S </dev/null
status=$?
timeout 120 wineserver -w
[ "$status" = 0 ] || fail "the installer ended with $status"
for file in pelican.exe README.md LICENSE.txt CHANGELOG.md Uninstall.exe; do
    [ -f "$programs/$file" ] || fail "no $file under Program Files\\Pelican"
done
[ -d "$work/prefix/drive_c/Program Files/Pelican/bin" ] && fail "a bin folder was made"
registered || fail "no Uninstall key $key"

echo "== the Start-menu entries"
menu=$(find "$work/prefix/drive_c" -type d -path '*Start Menu/Programs/Pelican' | head -1)
[ -n "$menu" ] || fail "no Start-menu folder Pelican"
entries=0
for link in "$menu"/*.lnk; do
    [ -f "$link" ] || continue
    entries=$((entries + 1))
    target=$(python3 "$here/lnk-target.py" "$link") || { fail "$(basename "$link"): unreadable"; continue; }
    path=$(unix "$target")
    echo "$(basename "$link") -> $target"
    [ -n "$path" ] && [ -f "$path" ] || fail "$(basename "$link") points at $target, which does not exist"
done
[ -f "$menu/Pelican.lnk" ] || fail "no entry \"Pelican\""
[ "$entries" -ge 4 ] || fail "$entries entries, not the program, its manual, its README and the uninstaller"

echo "== the installed program"
out=$(timeout 120 "$wine" "$(WINEDEBUG=-all winepath -w "$programs/pelican.exe")" --version </dev/null 2>&1 | tr -d '\r')
status=$?
[ "$status" = 0 ] || fail "pelican.exe --version ended with $status"
grep -q "$version" <<<"$out" || fail "pelican.exe --version said: $out"

echo "== silent uninstall"
timeout 300 "$wine" "$(WINEDEBUG=-all winepath -w "$programs/Uninstall.exe")" /S </dev/null
# The uninstaller goes on in a copy of itself: wait for every program.
timeout 120 wineserver -w
[ -e "$programs" ] && fail "left behind: $(cd "$programs" && ls)"
[ -n "$menu" ] && [ -e "$menu" ] && fail "the Start-menu folder is left"
registered && fail "the Uninstall key is left"

if [ "$failures" -gt 0 ]; then
    echo "installer-test: $failures failure(s)" >&2
    exit 1
fi
echo "installer-test: all passed"
