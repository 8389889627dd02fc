#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the tests; ends with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/check-layers.sh
./scripts/build.sh
cd "${MELODROP_BUILD_DIR:-build}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "$@"
