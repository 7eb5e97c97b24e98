#!/usr/bin/env bash
# Builds the benchmark's programs and measures them in a private mount
# namespace. "--tiny" runs it once at width 2, only to keep it working.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench -j 2 >/dev/null
args=(--build build/bench)
if [ "${1:-}" = "--tiny" ]; then args+=(--width 2 --repeats 1); fi
exec unshare -m --propagation private python3 bench/run.py "${args[@]}"
