#!/usr/bin/env bash
# Cold start to the first drawn frame and resident memory at idle, with a 1,000-entry autosaved playlist.
# Runs the program under Xvfb (or the current display) in a fresh documents folder; prints both figures.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh melodrop >/dev/null
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">'
  echo '<plist version="1.0"><array>'
  for i in $(seq 1 1000); do
    echo "<array><string>Альбом $((i % 20))/Исполнитель $i - Песня $i.mp3</string><string>0</string></array>"
  done
  echo '</array></plist>'
} > "$root/AudioAutosavedPlaylist.tune"
run() {
  MELODROP_STARTUP_PROBE=1 XDG_CONFIG_HOME="$root/config" "${MELODROP_BUILD_DIR:-build}/bin/melodrop" --root "$root" 2>&1 |
    grep -E 'first frame|idle resident'
}
if [ -z "${DISPLAY:-}" ]; then
  export -f run
  export root
  xvfb-run -a -s "-screen 0 1280x900x24" bash -c run
else
  run
fi
