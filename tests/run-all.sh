#!/usr/bin/env bash
# Builds and runs every test: the native suite (with the Windows programs
# under Wine and the arm64 programs under qemu, both built by it), the same
# suite under AddressSanitizer and UndefinedBehaviorSanitizer, a bounded
# fuzzing run of the input reader, the packages with their checks, and a tiny
# run of the benchmark to keep it working. The last line names the step that
# failed, if one did.
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds=${VERRANT_FUZZ_SECONDS:-60}
current=""
step() { current=$1; printf '\n=== %s\n' "$1"; }
trap 'status=$?; if [ $status -ne 0 ]; then echo "FAILED in step: ${current:-setup} (status $status)"; fi' EXIT

# As root, as CI runs it, every test must run: a test that lacks what it
# needs fails, naming it. Otherwise a missing piece is a skip that names it.
if [ "$(id -u)" -eq 0 ]; then export VERRANT_REQUIRE_EVERY_TEST=1; fi

step "build"
cmake --preset test >/dev/null
cmake --build --preset test -j 2

step "CTest"
ctest --preset test

step "sanitizers"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j 2
ctest --preset sanitize

step "fuzzing the input reader for ${fuzz_seconds} s"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2
mkdir -p build/fuzz/corpus
(cd build/fuzz && ./tests/fuzz/answers_fuzz -max_total_time="$fuzz_seconds" -print_final_stats=0 corpus 2>&1 | tail -n 2)

step "package checks"
bash tests/packages.sh

step "benchmark, tiny size"
if [ "$(id -u)" -eq 0 ]; then
  bash bench/run.sh --tiny
else
  echo "Not run: the benchmark mounts drives, which takes root"
fi
echo "Every step passed"
