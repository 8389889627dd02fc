#!/usr/bin/env bash
# The tag scan (first scan, cached second scan, TagLib alone, ffprobe per file) at each file count given:
#   ./bench/tags.sh [COUNT...]          # 1000 and 10000 unless given
# ffprobe starts one process per file, so it runs over the first 1,000 files only: its rate is what compares.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh bench_tags >/dev/null
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(1000 10000)
for count in "${counts[@]}"; do
  echo "== bench_tags --files=$count"
  build/bench/bench_tags --files="$count"
done
