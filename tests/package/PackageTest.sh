#!/usr/bin/env bash
# Builds the Debian package from the build folder and checks it as a
# distribution would: lintian without an error or a warning, the AppStream
# metadata valid, the manual pages free of groff warnings, one version
# everywhere; then unpacks it into a temporary root and runs both programs
# from there.
set -euo pipefail
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
if grep -q "CMake Warning" "$work/cpack.log"; then cat "$work/cpack.log"; exit 1; fi
deb=$(ls "$work"/out/*.deb)
dpkg-deb -x "$deb" "$work/root"
root="$work/root"
status=0
fail() { echo "$*"; status=1; }

# No tag is overridden: every error and warning fails the package. The
# info tags (hardening flags, which come from the distribution's build
# flags) are shown but pass.
lintian --display-level '>=info' "$deb" >"$work/lintian.log" 2>&1 || true
grep -v 'running with root privileges' "$work/lintian.log" || true
if grep -qE '^[EW]: ' "$work/lintian.log"; then fail "lintian reports errors or warnings"; fi

metainfo=$(ls "$root"/usr/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli refuses $(basename "$metainfo")"

# As lintian runs man: any groff warning is text lost from the page.
for page in "$root"/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

# The README and its pages: every link between them and to their pictures
# leads to a file of the package.
doc="$root/usr/share/doc/pelican"
[ -f "$doc/README.md" ] && ls "$doc"/docs/*.md >/dev/null 2>&1 || fail "the README or its pages are not in $doc"
for text in "$doc"/README.md "$doc"/docs/*.md; do
  [ -f "$text" ] || continue
  for target in $(grep -oE '\]\([^)#]+' "$text" | sed 's/^](//' | grep -v '://'); do
    [ -f "$(dirname "$text")/$target" ] || fail "${text#"$doc"/} links to $target, which is not installed"
  done
done

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6svg6 libc6 libstdc++6; do
  grep -q "$library" <<<"$depends" || fail "missing dependency $library"
done

for file in usr/bin/pelican usr/bin/pelican-sim usr/share/applications/pelican.desktop \
            usr/share/icons/hicolor/scalable/apps/pelican.svg \
            usr/share/man/man1/pelican.1.gz usr/share/man/man1/pelican-sim.1.gz \
            usr/share/doc/pelican/copyright usr/share/doc/pelican/changelog.gz \
            usr/share/doc/pelican/examples/60-pelican.rules \
            usr/share/bash-completion/completions/pelican; do
  [ -e "$root/$file" ] || fail "missing $file"
done
for size in 16 22 24 32 48 64 128 256; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/pelican.png"
  file -b "$icon" 2>/dev/null | grep -q "PNG image data, $size x $size" || fail "no ${size}x${size} PNG icon"
done
desktop="$root/usr/share/applications/pelican.desktop"
grep -qx "Exec=pelican" "$desktop" || fail "desktop entry does not start pelican"
categories=$(sed -n 's/^Categories=//p' "$desktop")
[ "$categories" = "Development;Electronics;" ] || fail "desktop entry categories: $categories"
[ "$(grep -o '<category>[^<]*' "$metainfo" | sed 's/<category>//' | tr '\n' ';')" = "$categories" ] ||
  fail "metainfo categories differ from the desktop entry's"
grep -q "^License: Expat" "$root/usr/share/doc/pelican/copyright" || fail "copyright names no licence"

# One version: the package's, --version, both manual pages, the Debian
# changelog and the AppStream release (the About box has a test of its own).
version=$(dpkg-deb -f "$deb" Version)
[ "$("$root/usr/bin/pelican" --version)" = "Pelican $version" ] || fail "--version is not Pelican $version"
for page in pelican pelican-sim; do
  [[ "$(zcat "$root/usr/share/man/man1/$page.1.gz")" == *"\"Pelican $version\""* ]] ||
    fail "$page(1) does not name Pelican $version"
done
[[ "$(zcat "$root/usr/share/doc/pelican/changelog.gz")" == "pelican ($version) "* ]] ||
  fail "changelog does not begin with $version"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"

# Each output is read whole before it is looked at: grep -q and head leave
# early, and a program still writing would then end with its output closed.
help=$("$root/usr/bin/pelican" --help) && grep -q "^Usage: pelican" <<<"$help" || fail "pelican --help"
help=$("$root/usr/bin/pelican-sim" --help) && grep -q "^Usage: pelican-sim" <<<"$help" || fail "pelican-sim --help"
grep -q "^.SH EXIT STATUS" <<<"$(zcat "$root/usr/share/man/man1/pelican.1.gz")" || fail "pelican(1) has no exit status"
[ $status -eq 0 ] && echo "package $(basename "$deb") is complete"
exit $status
