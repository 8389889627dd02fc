#!/usr/bin/env bash
# Start-up of melodrop-cli against curl's, in one run: `melodrop-cli --help` and `curl --version` each
# started RUNS times in turn (interleaved, so both see the same machine). Target: the CLI at most 1.5× curl.
# ./bench/cli_startup.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh melodrop-cli >/dev/null
runs=${1:-200}
cli=build/bin/melodrop-cli
python3 - "$cli" "$runs" <<'PY'
import subprocess, sys, time
cli, runs = sys.argv[1], int(sys.argv[2])
commands = {"melodrop-cli --help": [cli, "--help"], "curl --version": ["curl", "--version"]}
times = {name: [] for name in commands}
for _ in range(runs):
    for name, argv in commands.items():
        start = time.perf_counter()
        subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        times[name].append(time.perf_counter() - start)
median = {name: sorted(values)[len(values) // 2] * 1000 for name, values in times.items()}
for name, ms in median.items():
    print(f"{name:22s} median {ms:6.2f} ms over {runs} starts")
ratio = median["melodrop-cli --help"] / median["curl --version"]
print(f"ratio {ratio:.2f} (target at most 1.5)")
PY
