#!/usr/bin/env bash
# Installs what is needed, builds Quor and runs every test (no display needed:
# the window tests run offscreen, and again each on an X display of its own
# that tests/on_own_display.sh starts and stops).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 600
