#!/usr/bin/env bash
# Builds and runs every test: the native suite (with the Windows program under
# Wine when the cross compiler and Wine are installed), the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, a bounded fuzzing run of
# the input reader, the Debian package and the Windows zip with their checks,
# and a tiny run of the benchmark to keep it working.
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds=${VERRANT_FUZZ_SECONDS:-60}

step() { printf '\n=== %s\n' "$*"; }

if command -v i686-w64-mingw32-g++ >/dev/null; then
  step "Windows program (mingw-w64)"
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j 2
else
  step "No mingw-w64 cross compiler: the Windows tests will be reported as skipped"
fi

step "Native build and tests"
cmake --preset test >/dev/null
cmake --build --preset test -j 2
ctest --preset test

step "Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j 2
ctest --preset sanitize

if command -v clang++ >/dev/null; then
  step "Fuzzing the input reader for ${fuzz_seconds} s"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j 2
  mkdir -p build/fuzz/corpus
  (cd build/fuzz && ./tests/fuzz/answers_fuzz -max_total_time="$fuzz_seconds" -print_final_stats=0 corpus 2>&1 | tail -n 2)
else
  step "No clang++: the fuzzing run is skipped"
fi

step "Packages: the Debian package and the Windows zip"
cmake --preset default >/dev/null
cmake --build --preset default -j 2
bash tests/packages.sh

if unshare -m --propagation private true 2>/dev/null; then
  step "Benchmark, tiny size"
  bash bench/run.sh --tiny
else
  step "No mount namespaces here: the benchmark's tiny run is skipped"
fi
