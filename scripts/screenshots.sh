#!/usr/bin/env bash
# Renders Pelican's windows off screen into docs/ (used by the README and its pages).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
cmake --build build --target pelican_screenshots
mkdir -p docs
QT_QPA_PLATFORM=offscreen build/tests/app/pelican_screenshots "$PWD/docs"
ls docs/*.png
