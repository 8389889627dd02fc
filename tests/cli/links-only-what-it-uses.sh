#!/bin/sh
# melodrop-cli runs on servers and in scripts: it must start without a display stack, a sound server or a
# session bus. Fails when any of those libraries is among what the loader would map for it.
set -eu
cli=$1
libs=$(ldd "$cli") || { echo "ldd failed on $cli" >&2; exit 1; }
found=$(printf '%s\n' "$libs" | grep -E 'libmpv|libpulse|libQt6(Quick|Qml|Gui|DBus|OpenGL|Network)|libGL[.X]|libEGL|libOpenGL|libdbus|libX11|libwayland|libqt6keychain' || true)
if [ -n "$found" ]; then
  echo "melodrop-cli loads what it does not use:" >&2
  printf '%s\n' "$found" >&2
  exit 1
fi
