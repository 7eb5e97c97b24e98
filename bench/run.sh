#!/usr/bin/env bash
# Builds the benchmark's programs and measures them in a private mount
# namespace. "--quick" runs fewer rounds (about a third of the time);
# "--tiny" runs it once at width 2, only to keep it working.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench -j 2 >/dev/null
cmake --preset windows-bench >/dev/null
cmake --build --preset windows-bench -j 2 >/dev/null
args=(--build build/bench --windows-build build/windows-bench)
case "${1:-}" in
  --tiny) args+=(--width 2 --repeats 1 --image-width 2 --image-repeats 1 --reference-repeats 1) ;;
  --quick) args+=(--repeats 5 --image-repeats 3 --reference-repeats 2) ;;
esac
exec unshare -m --propagation private python3 bench/run.py "${args[@]}"
