#!/bin/bash
# The NSIS installer under 64-bit Wine, in a 64-bit prefix of its own made
# for the test: the installer a 64-bit program, a silent install (/S) into
# "Program Files" (over what 1.0's 32-bit installer left) with its Uninstall
# key in the 64-bit view of the registry alone,
# every Start-menu entry's target there and none a .md file, the installed
# pelican.exe --version, a silent uninstall, and nothing left of it (files,
# the Start-menu folder, the Uninstall key and the installation folder's).
# Usage: tests/wine/installer-test.sh INSTALLER.exe VERSION MANUAL
#   MANUAL: yes when the build made the manual as text (groff), else no.
# Environment: WINE (wine). A missing installer or a Wine that cannot run a
# 64-bit prefix is a failure: scripts/build-windows.sh installs makensis
# and 64-bit Wine (Debian's wine and wine64).
set -u
installer=${1:?usage: installer-test.sh INSTALLER.exe VERSION MANUAL}
version=${2:?usage: installer-test.sh INSTALLER.exe VERSION MANUAL}
manual=${3:?usage: installer-test.sh INSTALLER.exe VERSION MANUAL}
here=$(cd "$(dirname "$0")" && pwd)
wine=${WINE:-wine}
export WINEDEBUG=${WINEDEBUG:--all}
# The entries and files are compared in the byte order of their names.
export LC_ALL=C
[ -f "$installer" ] || { echo "installer-test: no installer $installer (cpack -G NSIS makes it)" >&2; exit 1; }
installer=$(cd "$(dirname "$installer")" && pwd)/$(basename "$installer")
command -v "$wine" >/dev/null || { echo "installer-test: no $wine (scripts/build-windows.sh installs Wine)" >&2; exit 1; }

failures=0
fail() { echo "installer-test: FAIL: $*" >&2; failures=$((failures + 1)); }

work=$(mktemp -d "$(dirname "$installer")/installer-test.XXXXXX")
export WINEPREFIX=$work/prefix WINEARCH=win64
finish() {
    timeout 30 wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM
timeout 300 wineboot -i >/dev/null 2>&1 || { echo "installer-test: wineboot of a 64-bit prefix failed" >&2; exit 1; }
unix() { WINEDEBUG=-all timeout 60 winepath -u "$1" 2>/dev/null; }
programs=$work/prefix/drive_c/Program\ Files/Pelican
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelican'
folder_key='HKLM\Software\The Pelican developers\Pelican'
# Windows' list of programs reads a 64-bit program's key in the 64-bit view.
registered() { timeout 60 "$wine" reg query "${2:-$key}" "/reg:$1" >/dev/null 2>&1; }

echo "== the installer"
# The machine a PE file is made for: 0x8664 for x64 (the word after the
# "PE\0\0" signature, whose offset is at 0x3C).
machine=$(python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read(4096)
print(hex(struct.unpack_from("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4)[0]))' "$installer")
[ "$machine" = 0x8664 ] || fail "the installer is made for machine $machine, not x64 (0x8664)"

echo "== over what 1.0's 32-bit installer left"
# Its keys in the 32-bit view, its texts as .md files.
timeout 60 "$wine" reg add "$key" /v DisplayName /d Pelican /reg:32 /f >/dev/null 2>&1
timeout 60 "$wine" reg add "$folder_key" /ve /d 'C:\Program Files\Pelican' /reg:32 /f >/dev/null 2>&1
registered 32 && registered 32 "$folder_key" || fail "the keys of 1.0 could not be made"
mkdir -p "$programs" && printf '# Pelican\n' >"$programs/README.md" && printf '# Changelog\n' >"$programs/CHANGELOG.md"

echo "== silent install"
timeout 300 "$wine" "$(WINEDEBUG=-all winepath -w "$installer")" /S </dev/null
status=$?
timeout 120 wineserver -w
[ "$status" = 0 ] || fail "the installer ended with $status"
expected="CHANGELOG.txt LICENSE.txt README.txt Uninstall.exe pelican.exe"
[ "$manual" = yes ] && expected="CHANGELOG.txt LICENSE.txt README.txt Uninstall.exe pelican-manual.txt pelican.exe"
installed=$(cd "$programs" 2>/dev/null && LC_ALL=C ls | tr '\n' ' ' | sed 's/ $//')
[ "$installed" = "$expected" ] || fail "under Program Files\\Pelican: \"$installed\", not \"$expected\""
[ -e "$work/prefix/drive_c/Program Files (x86)/Pelican" ] && fail "installed under Program Files (x86)"
registered 64 || fail "no Uninstall key $key in the 64-bit view"
registered 32 && fail "an Uninstall key $key in the 32-bit view"
registered 32 "$folder_key" && fail "a key $folder_key in the 32-bit view"
registered 64 "$folder_key" || fail "no key $folder_key with the installation folder"

echo "== the Start-menu entries"
menu=$(find "$work/prefix/drive_c" -type d -path '*Start Menu/Programs/Pelican' | head -1)
[ -n "$menu" ] || fail "no Start-menu folder Pelican"
entries=
for link in "$menu"/*.lnk; do
    [ -f "$link" ] || continue
    entries="$entries${entries:+, }$(basename "$link" .lnk)"
    target=$(python3 "$here/lnk-target.py" "$link") || { fail "$(basename "$link"): unreadable"; continue; }
    path=$(unix "$target")
    echo "$(basename "$link") -> $target"
    [ -n "$path" ] && [ -f "$path" ] || fail "$(basename "$link") points at $target, which does not exist"
    case "$target" in *.md) fail "$(basename "$link") opens $target, for which Windows has no program" ;; esac
done
wanted="Pelican README, Pelican, Uninstall"
[ "$manual" = yes ] && wanted="Pelican README, Pelican manual, Pelican, Uninstall"
[ "$entries" = "$wanted" ] || fail "the Start-menu entries are \"$entries\", not \"$wanted\""

echo "== the installed program"
timeout 120 "$wine" "$(WINEDEBUG=-all winepath -w "$programs/pelican.exe")" --version </dev/null >"$work/version" 2>&1
status=$?
out=$(tr -d '\r' <"$work/version")
[ "$status" = 0 ] || fail "pelican.exe --version ended with $status"
grep -q "$version" <<<"$out" || fail "pelican.exe --version said: $out"

echo "== silent uninstall"
timeout 300 "$wine" "$(WINEDEBUG=-all winepath -w "$programs/Uninstall.exe")" /S </dev/null
# The uninstaller goes on in a copy of itself: wait for every program.
timeout 120 wineserver -w
[ -e "$programs" ] && fail "left behind: $(cd "$programs" && ls)"
[ -n "$menu" ] && [ -e "$menu" ] && fail "the Start-menu folder is left"
registered 64 && fail "the Uninstall key is left"
registered 64 "$folder_key" && fail "the key $folder_key is left"

if [ "$failures" -gt 0 ]; then
    echo "installer-test: $failures failure(s)" >&2
    exit 1
fi
echo "installer-test: all passed"
