#!/usr/bin/env bash
# Runs Melodrop: installs what is missing, builds if needed, starts the program.
# ./run.sh --sandbox   runs against the built-in local stand-in of the service.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/build.sh melodrop melodrop-cli melodrop-sandbox >&2
exec "${MELODROP_BUILD_DIR:-build}/bin/melodrop" "$@"
