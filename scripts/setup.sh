#!/usr/bin/env bash
# Installs what Pelican needs on Debian 12 (when missing) and builds it.
# Usage: scripts/setup.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"

PACKAGES=(
  cmake make g++ pkg-config          # tool chain
  qt6-base-dev libqt6svg6            # windows and the SVG application icon
  libqt6test6                        # window tests click and type on the real windows
  libgtest-dev libgmock-dev          # tests
  nlohmann-json3-dev                 # ... which read back the program's JSON with a parser of their own
  libcli11-dev                       # command line of the batch mode
  unixodbc-dev                       # --store: databases through ODBC, one route on Linux and Windows
  odbc-postgresql libsqliteodbc      # ... the drivers a line's database is reached with
  postgresql libsqlite3-dev          # ... a throwaway server, and SQLite files read back, in tests
  fonts-dejavu-core                  # real glyphs when windows render off screen
  xvfb xdotool                       # the window program as a process, answered on an X server of its own
  srecord binutils                   # reference S-record tools used by tests and the benchmark
  dpkg-dev file                      # the Debian package: its dependencies are computed
  lintian appstream man-db           # ... and checked as a distribution checks it
)

missing=()
for package in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
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
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi

# ccache, when installed, keeps a rebuild to the files that changed; paths
# relative to the tree let a fresh clone reuse what another clone compiled.
LAUNCHER=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELICAN_WERROR=ON "${LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j2
