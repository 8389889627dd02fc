#!/bin/sh
# Runs a test program against a Secret Service of its own: a private session bus (dbus-run-session) with a
# GNOME Keyring daemon unlocked by a throw-away password, all under a throw-away home, so that nothing of a
# real user's keyring is read or written.
set -eu
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
trap 'exit 1' INT TERM
mkdir -m 700 "$home/run"
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" \
       XDG_RUNTIME_DIR="$home/run"
# The keyring daemon must not think a desktop is there to ask for a password.
unset DISPLAY WAYLAND_DISPLAY XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID
status=0
dbus-run-session -- sh -c '
    printf "melodrop-test-keyring" | gnome-keyring-daemon --unlock --components=secrets >/dev/null || exit 1
    # The daemon forks before it takes its bus name; a client that came first would start a second one.
    gdbus wait --session --timeout 10 org.freedesktop.secrets || exit 1
    export MELODROP_TEST_OWN_BUS=1
    exec "$@"' sh "$@" || status=$?
exit "$status"
