#!/usr/bin/env python3
"""Peak memory of one search whose answer is large.

Builds a search answer of the given size (63 MB unless told otherwise) from the rows of a fixture page
(tests/data/audio/search_150_rows.html, or tests/data/video/search_55_rows.html with --video), in
Windows-1251 as the service sends it, serves it from a local HTTP server (gzip-compressed with --gzip, as the
service does when asked), runs

    melodrop-cli --service-base URL --sid X --uid Y search-audio TEXT      (or search-video TEXT)

under /usr/bin/time -v and prints the peak resident memory and its ratio to the answer size. The ratio
includes what the program holds before any answer arrives (libraries, Qt, libcurl), about 65 MB. Target: at
most 4 times the answer. A benchmark, not a test: it only reports.

    bench/search_memory.py [--megabytes N] [--gzip] [--video] [--cli PATH] [--heaptrack]
"""

import argparse
import gzip
import http.server
import os
import re
import subprocess
import sys
import threading

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PAGES = {
    # fixture, start of a row, command, records of one page
    "audio": ("audio/search_150_rows.html", b'<div class="audio audios_row clear_fix"', "search-audio", 100),
    "video": ("video/search_55_rows.html", b'<div class="video_row videos_row clear_fix"', "search-video", 40),
}
TARGET = 4.0


def build_answer(size, kind="audio"):
    """The fixture's head, its rows repeated (renumbered) until the answer has `size` bytes, and its tail."""
    fixture, row_start = PAGES[kind][0], PAGES[kind][1]
    page = open(os.path.join(ROOT, "tests", "data", fixture), "rb").read()
    first = page.index(row_start)
    end = page.rindex(b"</div>\n</div>") + len(b"</div>\n")
    head, rows, tail = page[:first], page[first:end], page[end:]
    parts = [head]
    total = len(head) + len(tail)
    round_ = 0
    while total < size:
        # Every round's rows get their own numbers, so no two rows of the answer are alike.
        block = re.sub(rb"(\d{4})", lambda m: str(int(m.group(1)) + 1000 * round_).encode(), rows)
        block = block[: size - total] if total + len(block) > size else block
        parts.append(block)
        total += len(block)
        round_ += 1
    parts.append(tail)
    return b"".join(parts)


def serve(answer, compressed):
    body = gzip.compress(answer, compresslevel=6) if compressed else answer

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=windows-1251")
            if compressed:
                self.send_header("Content-Encoding", "gzip")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, len(body)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--megabytes", type=float, default=63.0, help="answer size in MB (default 63)")
    parser.add_argument("--gzip", action="store_true", help="send the answer gzip-compressed")
    parser.add_argument("--video", action="store_true", help="a video search instead of an audio search")
    parser.add_argument("--cli", help="the program to measure (default: build/bin/melodrop-cli, built first)")
    parser.add_argument("--heaptrack", action="store_true", help="also record the run with heaptrack")
    args = parser.parse_args()

    if args.cli is None:
        subprocess.run([os.path.join(ROOT, "scripts", "build.sh"), "melodrop-cli"], check=True,
                       stdout=subprocess.DEVNULL)
        build = os.environ.get("MELODROP_BUILD_DIR", "build")
        args.cli = os.path.join(ROOT, build, "bin", "melodrop-cli")
    kind = "video" if args.video else "audio"
    _, row_start, command_name, page_records = PAGES[kind]
    size = int(args.megabytes * 1024 * 1024)
    answer = build_answer(size, kind)
    rows = answer.count(row_start)
    server, sent = serve(answer, args.gzip)
    base = "http://127.0.0.1:%d" % server.server_address[1]
    command = [args.cli, "--service-base", base, "--sid", "memory-bench", "--uid", "1", command_name, "x"]
    if args.heaptrack:
        command = ["heaptrack", "-o", "/tmp/search_memory.heaptrack"] + command
    run = subprocess.run(["/usr/bin/time", "-v"] + command, capture_output=True, text=True)
    server.shutdown()

    peak = re.search(r"Maximum resident set size \(kbytes\): (\d+)", run.stderr)
    records = [line for line in run.stdout.splitlines() if line.startswith("[")]
    if run.returncode != 0 or peak is None:
        sys.stderr.write(run.stderr)
        sys.exit("melodrop-cli failed (exit %d)" % run.returncode)
    peak_bytes = int(peak.group(1)) * 1024
    mb = 1024 * 1024
    print("answer: %.1f MB, %d rows, %.1f MB on the wire%s" %
          (len(answer) / mb, rows, sent / mb, " (gzip)" if args.gzip else ""))
    print("records printed: %d" % len(records))
    print("peak RSS: %.1f MB = %.2fx the answer (target <= %.1fx)" %
          (peak_bytes / mb, peak_bytes / len(answer), TARGET))
    if len(records) != page_records:
        sys.exit("expected %d records" % page_records)


if __name__ == "__main__":
    main()
