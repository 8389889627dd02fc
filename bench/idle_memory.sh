#!/usr/bin/env bash
# Resident memory of the window at idle without OpenGL: the program started against the sandbox under Xvfb with
# the software scene graph (QT_QUICK_BACKEND=software), in a fresh documents and settings folder, measured from
# /proc 2.5 s after its first drawn frame (VmRSS, split into anonymous and file-backed pages, and the anonymous
# memory by mapping: the C heap, other anonymous mappings, the QML heap, shared memory with the X server).
# With heaptrack installed, one further start under heaptrack gives the peak heap grouped by what allocated it.
#
#   ./bench/idle_memory.sh [--runs N] [--no-heaptrack] [PROGRAM...]
#
# PROGRAM is a melodrop binary with melodrop-sandbox beside it (default build/bin/melodrop, built first).
# Several programs are measured in turn, run by run, so that a before and an after build see the same load.
# Target: at most 90 MB.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=3
heaptrack=1
programs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --no-heaptrack) heaptrack=0; shift ;;
    *) programs+=("$(realpath "$1")"); shift ;;
  esac
done
if [ ${#programs[@]} -eq 0 ]; then
  ./scripts/build.sh melodrop melodrop-sandbox >/dev/null
  programs=("$(realpath "${MELODROP_BUILD_DIR:-build}/bin/melodrop")")
fi
command -v heaptrack >/dev/null && command -v heaptrack_print >/dev/null || heaptrack=0
export runs heaptrack
exec xvfb-run -a -s "-screen 0 1280x900x24" python3 "$PWD/bench/idle_memory.py" "${programs[@]}"
