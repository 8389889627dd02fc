#!/usr/bin/env bash
# Runs the program (sandbox mode) under a virtual X server, in a D-Bus session of its own with the accessibility
# bus, and walks its accessible tree as a screen reader does (at-spi-walk.py). Usage: at-spi-walk.sh PROGRAM
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "$1")
# xvfb, dbus, at-spi2-core, gir1.2-atspi-2.0, python3-gi and xdotool come with the project's packages.
"$here/../../scripts/deps.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_CACHE_HOME=$work/home/.cache XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# The accessibility bridge only runs on a real platform, and only when asked for without a desktop.
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
# A session bus that starts no services: no keyring prompts for the password, no desktop portals.
cat >"$work/session.conf" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF

# shellcheck disable=SC2016
xvfb-run -a -s "-screen 0 1280x800x24" \
  dbus-run-session --config-file="$work/session.conf" -- bash -c '
    /usr/libexec/at-spi-bus-launcher --launch-immediately &
    bus=$!
    "$1" --sandbox --root "$HOME/Documents" >"$2/program.log" 2>&1 &
    app=$!
    status=0
    /usr/bin/python3 "$3" || status=$?
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    kill "$bus" 2>/dev/null || true
    wait "$bus" 2>/dev/null || true
    if [ "$status" -ne 0 ]; then
      echo "--- the program'"'"'s log:" >&2
      tail -n 30 "$2/program.log" >&2
    fi
    exit "$status"' walk "$program" "$work" "$here/at-spi-walk.py"
