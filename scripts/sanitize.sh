#!/usr/bin/env bash
# Builds the whole tree with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ and runs every
# test there. Arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
BUILD_DIR=${MELODROP_ASAN_BUILD_DIR:-build-asan}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  # -O1 with line tables only: the reports keep their file:line, and the build takes 40 % less time than -O2 -g.
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMELODROP_BUILD_BENCH=OFF \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
fi
./scripts/stale-moc.sh "$BUILD_DIR"
ninja -C "$BUILD_DIR" -j"$(nproc)"
cd "$BUILD_DIR"
# Leaks of the libraries we do not own (fontconfig, mesa, libmpv's threads at exit) are not ours to fix;
# tests/lsan-suppressions.txt names them. Everything else fails the run.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0"
export LSAN_OPTIONS="suppressions=$(cd .. && pwd)/tests/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
status=0
ctest --output-on-failure -j"$(nproc)" --timeout 600 -LE gui "$@" || status=$?
# The views' cases run a QML engine: its JavaScript heap lives in memory the leak checker does not scan, so
# every string a view holds looks lost at exit, and the scene graph keeps its textures until the process ends.
# Those cases run with every address and undefined-behaviour check but without the leak check.
ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=0" \
  ctest --output-on-failure -j"$(nproc)" --timeout 600 -L gui "$@" || status=$?
exit $status
