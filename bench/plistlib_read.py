#!/usr/bin/env python3
"""Python's plistlib on property-list files: prints "<file> <milliseconds> <entries>" per file, the best of
--rounds loads, timed around plistlib.loads alone (the interpreter's start and the file read are left out).
bench_playlist runs it on the files it generates, so both readers are measured in one run."""
import argparse
import plistlib
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    for path in args.files:
        with open(path, "rb") as f:
            data = f.read()
        best = None
        for _ in range(max(1, args.rounds)):
            start = time.perf_counter()
            value = plistlib.loads(data)
            elapsed = time.perf_counter() - start
            best = elapsed if best is None else min(best, elapsed)
        print(f"{path} {best * 1000:.1f} {len(value)}", flush=True)


if __name__ == "__main__":
    main()
