#!/usr/bin/env bash
# Builds and runs every test: the native suite (with the Windows programs,
# built by it, under Wine when the cross compiler and Wine are installed), the
# Debian package's program from the package, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, a bounded fuzzing run of
# the input reader, the Debian package and the Windows zip with their checks,
# and a tiny run of the benchmark to keep it working.
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds=${VERRANT_FUZZ_SECONDS:-60}

step() { printf '\n=== %s\n' "$*"; }

# As root, as CI runs it, every test must run: a test that lacks what it
# needs fails, naming it. Otherwise a missing piece is a skip that names it.
if [ "$(id -u)" -eq 0 ]; then export VERRANT_REQUIRE_EVERY_TEST=1; fi
lacking() {
  if [ "${VERRANT_REQUIRE_EVERY_TEST:-}" = 1 ]; then
    echo "FAILED: $1 is missing, so $2 cannot run" >&2
    exit 1
  fi
  step "$1 is missing: $2 skipped"
}

command -v i686-w64-mingw32-g++ >/dev/null || lacking "the mingw-w64 cross compiler" "the Windows tests"
command -v wine >/dev/null || lacking "Wine" "the Windows tests"

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
  lacking "clang++" "the fuzzing run"
fi

step "Packages: the Debian package and the Windows zip"
cmake --preset default >/dev/null
cmake --build --preset default -j 2
bash tests/packages.sh

if unshare -m --propagation private true 2>/dev/null; then
  step "Benchmark, tiny size"
  bash bench/run.sh --tiny
else
  lacking "mount namespaces (run as root)" "the benchmark's tiny run"
fi
