#!/usr/bin/env bash
# The download engine against curl(1) on loopback, one file and then three at once: throughput and CPU time per
# GB of each, and memory while the three transfers run. ./bench/download.sh [google-benchmark options]
# MELODROP_BENCH_MB sets the file size (default 500); the files go to a fresh folder under /tmp and are deleted.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${MELODROP_BUILD_DIR:-build}
size_mb=${MELODROP_BENCH_MB:-500}
# Three files at once, plus room to spare.
need_mb=$((3 * size_mb + 64))
free_mb=$(df --output=avail -BM /tmp | tail -1 | tr -dc '0-9')
if [ "$free_mb" -lt "$need_mb" ]; then
  echo "download.sh: /tmp has ${free_mb} MB free, ${need_mb} MB needed" >&2
  exit 1
fi
command -v curl >/dev/null || { echo "download.sh: curl is needed for the comparison" >&2; exit 1; }
./scripts/build.sh bench_download melodrop-sandbox >&2
dir=$(mktemp -d /tmp/melodrop-bench.XXXXXX)
trap 'rm -rf "$dir"' EXIT
MELODROP_BENCH_MB=$size_mb MELODROP_BENCH_DIR=$dir MELODROP_SANDBOX="$BUILD_DIR/bin/melodrop-sandbox" \
  "$BUILD_DIR/bench/bench_download" "$@"
