#!/usr/bin/env bash
# Collects every user-visible text of the program (C++ tr()/translate() and QML qsTr()) into the translation
# sources under app/i18n; translate the new entries with Qt Linguist, and the build compiles them.
#   scripts/update-translations.sh [TS_FILE [LUPDATE]]   (another table to bring up to date, another lupdate)
set -euo pipefail
ts=$(realpath "${1:-$(dirname "$0")/../app/i18n/melodrop_en.ts}")
LUPDATE=${2:-$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)}
cd "$(dirname "$0")/.."
"$LUPDATE" -silent -I . -locations none -no-obsolete -source-language ru_RU -target-language en_US \
  app core decoding desktop downloads library net playback qml screens service \
  -ts "$ts"
# Texts without an English version yet, for whoever translates next.
grep -c 'type="unfinished"' "$ts" | sed 's/^/untranslated: /' >&2 || true
