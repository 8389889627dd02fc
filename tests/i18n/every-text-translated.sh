#!/usr/bin/env bash
# Collects the program's texts afresh over a copy of the committed English table (scripts/update-translations.sh)
# and fails on any text without a finished English version: a text that was added or moved to another file since
# the table was last brought up to date shows up here.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
lupdate=${1:-$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/app/i18n/melodrop_en.ts" "$work/melodrop_en.ts"
"$root/scripts/update-translations.sh" "$work/melodrop_en.ts" "$lupdate" 2>/dev/null
python3 - "$work/melodrop_en.ts" <<'PY'
import sys
import xml.etree.ElementTree as ET
missing = []
for context in ET.parse(sys.argv[1]).getroot().iter("context"):
    for message in context.iter("message"):
        translation = message.find("translation")
        if translation is None or translation.get("type") in ("unfinished", "vanished", "obsolete") \
                or not (translation.text or message.find("translation/numerusform") is not None):
            missing.append(f'{context.findtext("name")}: "{message.findtext("source")}"')
for line in missing:
    print(f"no English version: {line}", file=sys.stderr)
sys.exit(1 if missing else 0)
PY
