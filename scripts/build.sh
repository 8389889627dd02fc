#!/usr/bin/env bash
# Installs what is missing, configures once and builds everything (or the targets given) into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
BUILD_DIR=${MELODROP_BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
./scripts/stale-moc.sh "$BUILD_DIR"
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
if [ "${MELODROP_WARNINGS_FAIL:-}" != 1 ]; then
  exec ninja -C "$BUILD_DIR" -j"$(nproc)" "$@"
fi
# CI: any compiler warning about our own sources fails the build. The compiler cache replays a cached
# compile's diagnostics, so a warning is seen whether or not its object was rebuilt now; headers of other
# projects (/usr/...) do not count.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
ninja -C "$BUILD_DIR" -j"$(nproc)" "$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
[ "$status" -eq 0 ] || exit "$status"
if grep -E ': warning: ' "$log" | grep -v -E '^(/usr/|ninja: )' >&2; then
  echo "build: compiler warnings in our code (above); they count as errors here" >&2
  exit 1
fi
