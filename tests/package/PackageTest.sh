#!/usr/bin/env bash
# Builds the Debian package from the build folder, unpacks it into a
# temporary root and runs both programs from there.
set -euo pipefail
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/*.deb)
dpkg-deb -x "$deb" "$work/root"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libqt6widgets6 libqt6svg6 libc6 libstdc++6; do
  grep -q "$library" <<<"$depends" || { echo "missing dependency $library"; exit 1; }
done

for file in usr/bin/pelican usr/bin/pelican-sim usr/share/applications/pelican.desktop \
            usr/share/icons/hicolor/scalable/apps/pelican.svg \
            usr/share/man/man1/pelican.1.gz usr/share/man/man1/pelican-sim.1.gz; do
  [ -e "$work/root/$file" ] || { echo "missing $file"; exit 1; }
done
grep -qx "Exec=pelican" "$work/root/usr/share/applications/pelican.desktop"
grep -qx "Categories=Development;Electronics;" "$work/root/usr/share/applications/pelican.desktop"

"$work/root/usr/bin/pelican" --help | grep -q "^Usage: pelican"
"$work/root/usr/bin/pelican-sim" --help | grep -q "^Usage: pelican-sim"
zcat "$work/root/usr/share/man/man1/pelican.1.gz" | grep -q "^.SH EXIT STATUS"
echo "package $(basename "$deb") is complete"
