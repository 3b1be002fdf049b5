#!/usr/bin/env bash
# Renders Pelican's windows off screen into docs/ (used by the README).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
mkdir -p docs
PELICAN_SNAPSHOT_DIR="$PWD/docs" QT_QPA_PLATFORM=offscreen build/tests/app/app_windows_test --gtest_filter='*Snapshots*'
ls docs/*.png
