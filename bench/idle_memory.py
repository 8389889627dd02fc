#!/usr/bin/env python3
"""Idle memory of melodrop programs, measured in turn (see idle_memory.sh, which runs this under Xvfb)."""
import collections
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

SETTLE_S = 2.5  # after the first frame; the start-up probe quits the program at 3 s
REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LAYERS = ["decoding", "net", "core", "service", "playback", "library", "desktop", "downloads", "screens", "app"]

# Peak heap by what allocated it: the first group whose marker occurs in the call stack.
GROUPS = [
    ("mpv: Lua scripts", ["lua_", "luaL_"]),
    ("mpv: player core", ["mpv_", "libmpv", "ass_"]),
    ("QML: compiling views", ["QQmlTypeLoader", "QQmlTypeCompiler", "QV4::Compiler", "QQmlDataBlob",
                              "QQmlIRBuilder", "QQmlJS::", "QQmlPropertyCacheCreator", "QQmlTypeData"]),
    ("QML: creating items", ["QQmlObjectCreator", "QQmlComponent", "QQmlIncubat", "QQmlBinding",
                             "QQmlJavaScriptExpression", "QQmlPropertyBinding"]),
    ("scene graph: layers, text, pictures", ["QSG", "QQuickWindowPrivate", "QQuickShaderEffectSource",
                                              "renderSceneGraph", "QQuickPixmap", "QQuickText"]),
    ("fonts", ["FT_", "QFontEngine", "FcConfig", "FcFont", "hb_"]),
    ("QML engine, types", ["QQml", "QV4", "QJS", "QQuick"]),
]


def proc_figures(pid):
    figures = {}
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "RssAnon", "RssFile", "RssShmem"):
                figures[key] = int(value.split()[0])
    kinds = collections.Counter()
    name = ""
    with open(f"/proc/{pid}/smaps") as smaps:
        for line in smaps:
            if re.match(r"^[0-9a-f]+-[0-9a-f]+ ", line):
                fields = line.split()
                name = fields[5] if len(fields) > 5 else ""
            elif line.startswith("Rss:"):
                kb = int(line.split()[1])
                if name == "[heap]":
                    kinds["C heap (brk)"] += kb
                elif name == "":
                    kinds["anonymous mappings (thread arenas, stacks, big blocks)"] += kb
                elif "JSGCHeap" in name:
                    kinds["QML heap"] += kb
                elif name.startswith("/memfd:") or name.startswith("/dev/shm") or name.startswith("/SYSV"):
                    kinds["shared with the X server"] += kb
                elif name.startswith("["):
                    kinds["stacks and vdso"] += kb
                else:
                    kinds["files (libraries, fonts)"] += kb
    figures["kinds"] = kinds
    figures["threads"] = len(os.listdir(f"/proc/{pid}/task"))
    return figures


def start(program, wrapper=()):
    root = tempfile.mkdtemp(prefix="melodrop-idle-")
    env = dict(os.environ, MELODROP_STARTUP_PROBE="1", QT_QUICK_BACKEND="software",
               XDG_CONFIG_HOME=os.path.join(root, "config"), XDG_CACHE_HOME=os.path.join(root, "cache"))
    process = subprocess.Popen([*wrapper, program, "--sandbox", "--root", os.path.join(root, "docs")],
                               env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    return process, root


def measure(program):
    process, root = start(program)
    figures = None
    try:
        for line in process.stderr:
            if line.startswith("first frame after"):
                time.sleep(SETTLE_S)
                figures = proc_figures(process.pid)
                break
        process.communicate(timeout=60)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        shutil.rmtree(root, ignore_errors=True)
    return figures


def our_sources():
    names = set()
    for layer in LAYERS:
        for _, _, files in os.walk(os.path.join(REPO, layer)):
            names.update(f for f in files if f.endswith((".cpp", ".h")))
    names.discard("main.cpp")
    return names


def heap_profile(program, out_dir):
    process, root = start(program, ["heaptrack", "-o", os.path.join(out_dir, "heap")])
    try:
        process.communicate(timeout=600)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    data = [f for f in os.listdir(out_dir) if f.startswith("heap")][0]
    stacks = os.path.join(out_dir, "stacks")
    summary = subprocess.run(["heaptrack_print", "-f", os.path.join(out_dir, data), "--flamegraph-cost-type",
                              "peak", "-F", stacks, "-p", "0", "-a", "0", "-T", "0", "-l", "0"],
                             capture_output=True, text=True).stdout
    peak = re.search(r"peak heap memory consumption: (\S+)", summary)
    ours = our_sources()
    frame_file = re.compile(r"\(([^()]+)\)$")
    groups = collections.Counter()
    callers = collections.Counter()
    total = 0
    with open(stacks) as lines:
        for line in lines:
            stack, _, cost = line.rstrip("\n").rpartition(" ")
            cost = int(cost)
            total += cost
            group = next((name for name, markers in GROUPS if any(m in stack for m in markers)), "other")
            groups[group] += cost
            inner = "(none of ours)"
            for frame in stack.split(";"):
                match = frame_file.search(frame.strip())
                if match and match.group(1) in ours:
                    inner = frame.strip()
            callers[inner] += cost
    return peak.group(1) if peak else "?", total, groups, callers


def mb(kb):
    return f"{kb / 1024:7.1f}"


def main():
    programs = sys.argv[1:]
    runs = int(os.environ.get("runs", "3"))
    results = {p: [] for p in programs}
    for _ in range(runs):
        for program in programs:
            figures = measure(program)
            if figures:
                results[program].append(figures)
    print(f"Idle resident memory, software scene graph, median of {runs} starts each (MB):")
    for program in programs:
        samples = sorted(results[program], key=lambda f: f["VmRSS"])
        if not samples:
            print(f"{program}: no first frame")
            continue
        median = samples[len(samples) // 2]
        print(f"\n{program}")
        print(f"  VmRSS {mb(median['VmRSS'])}   (all starts: "
              + ", ".join(mb(s['VmRSS']).strip() for s in results[program]) + ")")
        print(f"  anonymous {mb(median['RssAnon'])}, file-backed {mb(median['RssFile'])}, "
              f"shared {mb(median['RssShmem'])}, threads {median['threads']}")
        for kind, kb in median["kinds"].most_common():
            print(f"    {mb(kb)}  {kind}")
    if os.environ.get("heaptrack") != "1":
        return
    for program in programs:
        out_dir = tempfile.mkdtemp(prefix="melodrop-heap-")
        try:
            peak, total, groups, callers = heap_profile(program, out_dir)
        finally:
            shutil.rmtree(out_dir, ignore_errors=True)
        print(f"\n{program}: peak heap {peak} (heaptrack), by what allocated it:")
        for name, cost in groups.most_common():
            print(f"  {cost / 1e6:7.2f} MB  {name}")
        print("  innermost caller of ours (main() left out):")
        for name, cost in callers.most_common(8):
            print(f"  {cost / 1e6:7.2f} MB  {name[:110]}")


if __name__ == "__main__":
    main()
