#!/usr/bin/env bash
# Usage: stale-moc.sh BUILD_DIR. moc also describes each class in JSON for the QML module's type registrar; a
# build folder made before it did holds moc output without that description, which moc would not remake by
# itself. Such output is dropped here so that the next build makes it again.
set -euo pipefail
for dir in "$1"/*/melodrop_*_autogen; do
  [ -d "$dir" ] || continue
  if find "$dir" -name 'moc_*.cpp' -print -quit | grep -q . &&
    ! find "$dir" -name 'moc_*.cpp.json' -print -quit | grep -q .; then
    rm -rf "$dir"
  fi
done
