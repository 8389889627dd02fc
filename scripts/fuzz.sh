#!/usr/bin/env bash
# Builds every libFuzzer target (fuzz/<name>.cpp) with clang, ASan and UBSan in build-fuzz/ and runs each for
# SECONDS (default 60) on its seed corpus: fuzz/seeds/<name>/ plus the fixtures its from-tests file names.
# Inputs that crash land in build-fuzz/crashes/<name>/: once mended, each becomes a regression input under
# tests/data/fuzz/<name>/ with a case in the reader's own test. The exit status is non-zero when a target found
# a crash. A target's own libFuzzer flags, one a line, stand in fuzz/<name>.options (read after the defaults, so
# they win: the property-list readers need inputs long enough to nest past their limit).
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
seconds=${1:-60}
shift || true
BUILD_DIR=${MELODROP_FUZZ_BUILD_DIR:-build-fuzz}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" \
    -DMELODROP_FUZZ=ON -DMELODROP_BUILD_TESTS=OFF -DMELODROP_BUILD_BENCH=OFF \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
fi
mapfile -t all < <(ls fuzz/*.cpp | xargs -n1 basename | sed 's/\.cpp$//')
targets=("${@:-${all[@]}}")
./scripts/stale-moc.sh "$BUILD_DIR"
ninja -C "$BUILD_DIR" -j"$(nproc)" "${targets[@]/#/fuzz_}"

status=0
for name in "${targets[@]}"; do
  corpus="$BUILD_DIR/corpus/$name"
  crashes="$BUILD_DIR/crashes/$name"
  mkdir -p "$corpus" "$crashes"
  seeds="fuzz/seeds/$name"
  find "$seeds" -type f ! -name from-tests -exec cp -n {} "$corpus/" \;
  if [ -f "$seeds/from-tests" ]; then
    while read -r pattern; do
      [ -n "$pattern" ] || continue
      for file in tests/data/*/$pattern; do [ -f "$file" ] && cp -n "$file" "$corpus/"; done
    done <"$seeds/from-tests"
  fi
  options=()
  if [ -f "fuzz/$name.options" ]; then
    mapfile -t options < <(grep -v '^\s*\(#\|$\)' "fuzz/$name.options")
  fi
  echo "== fuzz_$name for ${seconds}s ${options[*]}" >&2
  log="$BUILD_DIR/fuzz_$name.log"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$BUILD_DIR/fuzz/fuzz_$name" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 \
      "${options[@]}" -artifact_prefix="$crashes/" "$corpus" >"$log" 2>&1; then
    echo "fuzz_$name: found a failing input, see $log and $crashes/" >&2
    status=1
  fi
  grep -E '^(#[0-9]+\s+DONE|Done [0-9]+ runs)' "$log" | tail -1 | sed "s/^/fuzz_$name: /" >&2 || true
done
exit $status
