#!/usr/bin/env bash
# Usage: stale-moc.sh BUILD_DIR. moc also describes the classes of the layer libraries in JSON, for the QML
# module's type registrar; a build folder made before it did holds their moc output without that description,
# which moc would not remake by itself. Such output is dropped here so that the next build makes it again.
set -euo pipefail
[ -f "$1/build.ninja" ] || exit 0 # a new build folder has nothing old in it
# The libraries' moc settings come from the configuration: bring it up to date first.
if [ -n "$(find . -name CMakeLists.txt -newer "$1/build.ninja" -not -path './build*' -print -quit)" ]; then
  cmake -S . -B "$1" >/dev/null
fi
for dir in "$1"/*/melodrop_*_autogen; do
  [ -d "$dir" ] || continue
  info="$(dirname "$dir")/CMakeFiles/$(basename "$dir").dir/AutogenInfo.json"
  grep -q -- '--output-json' "$info" 2>/dev/null || continue
  if find "$dir" -name 'moc_*.cpp' -print -quit | grep -q . &&
    ! find "$dir" -name 'moc_*.cpp.json' -print -quit | grep -q .; then
    rm -rf "$dir"
  fi
done
