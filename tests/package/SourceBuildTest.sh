#!/usr/bin/env bash
# The source tarball builds with the README's "Installing" commands: the
# set-up script's build, then a Release build packed as a Debian package
# that lintian accepts and whose pelican runs. Two whole builds: run only
# when asked for (-DPELICAN_SOURCE_BUILD_TEST=ON).
set -euo pipefail
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack --config CPackSourceConfig.cmake -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; exit 1; }
tarball=$(ls "$work"/out/*.tar.gz)
tar -xzf "$tarball" -C "$work"
cd "$work/$(basename "$tarball" .tar.gz)"

# The README's commands, as written there (without installing the package).
scripts/setup.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release
cmake --build build-release -j2
(cd build-release && cpack -G DEB)

deb=$(ls build-release/*.deb)
dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/pelican" --version
lintian --fail-on error,warning "$deb" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || { echo "lintian refuses $deb"; exit 1; }
echo "$(basename "$tarball") builds $(basename "$deb")"
