#!/usr/bin/env bash
# Installs what is needed, builds Quor and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec ./build/src/app/quor "$@"
