#!/usr/bin/env bash
# Builds the benchmark's programs, each in its shipped build, and measures
# them (bench/README.md tells how, and what --quick and --tiny do; other
# words go to bench/run.py). Under Wine it measures the 32-bit Windows
# program, or the 64-bit one where this kernel starts no 32-bit programs.
set -euo pipefail
cd "$(dirname "$0")/.."
probe=$(bash kernel-runs-i386.sh) && verdict=0 || verdict=$?
[ "$verdict" -le 1 ] || { echo "bench/run.sh: $probe" >&2; exit 1; }
windows=(windows wine32 "the 32-bit Windows program")
[ "$verdict" -eq 0 ] || windows=(windows64 wine64 "the 64-bit Windows program, since $probe")
for preset in default "${windows[0]}"; do
  cmake --preset "$preset" -B "build/bench-$preset" -DVERRANT_BENCH=ON -DVERRANT_TEST_PROGRAMS=OFF >/dev/null
  cmake --build "build/bench-$preset" -j 2 >/dev/null
done
echo "Under Wine: ${windows[2]}"
args=(--build build/bench-default --windows-build "build/bench-${windows[0]}" --wine "${windows[1]}")
case "${1:-}" in
  --tiny) args+=(--width 2 --rounds 1 --image-rounds 1) && shift ;;
  --quick) args+=(--rounds 5 --image-rounds 3) && shift ;;
esac
# Its drives are mounted in a mount namespace of its own, which ends with it.
exec unshare -m --propagation private python3 bench/run.py "${args[@]}" "$@"
