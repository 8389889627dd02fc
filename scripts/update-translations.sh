#!/usr/bin/env bash
# Collects every user-visible text of the program (C++ tr()/translate() and QML qsTr()) into the translation
# sources under app/i18n; translate the new entries with Qt Linguist, and the build compiles them.
set -euo pipefail
cd "$(dirname "$0")/.."
LUPDATE=$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)
"$LUPDATE" -silent -I . -locations none -no-obsolete -source-language ru_RU -target-language en_US \
  app core decoding desktop downloads library net playback qml screens service \
  -ts app/i18n/melodrop_en.ts
# Texts without an English version yet, for whoever translates next.
grep -c 'type="unfinished"' app/i18n/melodrop_en.ts | sed 's/^/untranslated: /' >&2 || true
