#!/usr/bin/env python3
"""Runs qmllint over the window's views and fails on any warning it gives.

Usage: lint-views.py QMLLINT [qmllint options ...] -- VIEW.qml ...

Some findings of the qmllint that comes with Qt 6.4 are not faults of the views, and are let through by name:
- "Unqualified access" to an id of the same file, from the root object of an inline component (a delegate, a
  highlight): that qmllint does not look up the document's ids from there, though the engine does.
- Members of the Qt object it knows only by a base type: Qt.callLater, Qt.styleHints' and Qt.application's.
The caller turns one category off: ids inside a control's content item (the views reach their parts by them).
Everything else it reports, at its default levels, fails the test.
"""
import json
import os
import re
import subprocess
import sys
import tempfile


def main(argv):
    split = argv.index("--")
    qmllint, options, views = argv[1], argv[2:split], argv[split + 1:]
    with tempfile.TemporaryDirectory() as scratch:
        report = os.path.join(scratch, "lint.json")
        subprocess.run([qmllint, *options, "--json", report, *views], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False)
        with open(report, encoding="utf-8") as f:
            files = json.load(f)["files"]
    faults = []
    for entry in files:
        path = entry["filename"]
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        ids = set(re.findall(r"\bid:\s*(\w+)", "\n".join(lines)))
        for warning in entry.get("warnings", []):
            if warning["type"] not in ("warning", "critical"):
                continue
            message = warning["message"]
            line, column = warning.get("line", 0), warning.get("column", 0)
            if message == "Unqualified access" and line:
                name = re.match(r"\w*", lines[line - 1][column - 1:]).group(0)
                if name in ids:
                    continue
            if message.startswith('Property "callLater" is a QJSValue property'):
                continue
            if line and re.match(r'Property "\w+" not found on type "(QObject|QQmlApplication)"', message):
                if re.search(r"\bQt\.(styleHints|application)\.", lines[line - 1]):
                    continue
            faults.append(f"{os.path.basename(path)}:{line}:{column}: {message}")
        if not entry.get("success", True) and not entry.get("warnings"):
            faults.append(f"{os.path.basename(path)}: qmllint could not read it")
    for fault in faults:
        print(fault)
    print(f"lint-views: {len(views)} views, {len(faults)} warnings")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
