#!/usr/bin/env bash
# Builds and runs the benchmarks (not part of the tests). ./bench/run.sh [name-filter]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
filter=${1:-}
for bin in build/bench/bench_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  [ -n "$filter" ] && [[ "$name" != *"$filter"* ]] && continue
  # The download benchmark moves gigabytes against curl; it has its own script with a free-space check.
  [ "$name" = bench_download ] && { ./bench/download.sh; continue; }
  echo "== $name"
  "$bin" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
done
