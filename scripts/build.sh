#!/usr/bin/env bash
# Installs what is missing, configures once and builds everything (or the targets given) into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
BUILD_DIR=${MELODROP_BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
ninja -C "$BUILD_DIR" -j"$(nproc)" "$@"
