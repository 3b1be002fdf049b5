#!/usr/bin/env bash
# Builds pelican.exe for 64-bit Windows with MinGW-w64 into build-win/
# (and its tests, which run under Wine). Installs what is missing first.
#   scripts/build-windows.sh [build folder]
# When the Linux build (build/) has pelican-sim, the Wine tests that put the
# simulated board on a pseudo-terminal use it.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-win}
packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest nlohmann-json3-dev libcli11-dev cmake ninja-build
          wine wine64 fonts-wine nsis zip xvfb xauth xdotool imagemagick srecord python3 groff-base
          libodbc2 libsqliteodbc odbc-postgresql sqlite3 postgresql)
# 64-bit Wine alone (wine, wine64) runs pelican.exe, its tests and the
# installer, all of them 64-bit programs. Wine's odbc32 hands --store's
# calls to the host's unixODBC (libodbc2, which Wine only recommends, so
# that --no-install-recommends leaves it out): the Wine tests of --store use the host's
# SQLite3 and PostgreSQL ODBC drivers, and a throwaway PostgreSQL server.
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "build-windows: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  # A mirror in the middle of its sync serves an index that does not match
  # its Release file; a moment later it is whole again. The install below
  # says plainly what is still missing if it never is.
  for try in 1 2 3 4 5; do
    $SUDO apt-get update -qq && break
    echo "apt-get update failed (try $try of 5); trying again in 30 s" >&2
    sleep 30
  done
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null >/dev/null
fi
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$PWD
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# The tests run in the build's own Wine prefix unless one is named.
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/MinGW-w64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DPELICAN_WERROR=ON -DPELICAN_BENCH=ON -DPELICAN_WINE_PREFIX="${WINEPREFIX:-$PWD/$dir/wine}" "${launcher[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
