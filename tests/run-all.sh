#!/usr/bin/env bash
# Builds and runs every test: the native suite (with the Windows programs
# under Wine and the other architectures' programs under qemu, all built by
# it), the same suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# a bounded fuzzing run of the input reader, the packages with their checks,
# and a tiny run of the benchmark to keep it working. It ends with a summary:
# a line for each step, and one for each test that did not run, with why.
set -uo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds=${VERRANT_FUZZ_SECONDS:-60}
logs=build/run-all
mkdir -p "$logs"
summary=()
failed=0

# Runs one step, its output shown and kept in its log; a failed step is
# noted and the next one still runs.
step() {
  local name=$1 log=$logs/$2.log
  shift 2
  printf '\n=== %s\n' "$name"
  local started=$SECONDS
  "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  local took="$((SECONDS - started)) s"
  if [ "$status" -eq 0 ]; then summary+=("passed  $name ($took)"); else
    summary+=("FAILED  $name ($took, status $status; its output is in $log)")
    failed=$((failed + 1))
  fi
}

# The tests CTest reported as not run, each with the reason its test gave.
not_run() {
  python3 - "$1" <<'PY'
import sys, xml.etree.ElementTree as tree
for case in tree.parse(sys.argv[1]).getroot().iter("testcase"):
    if case.get("status") in ("skipped", "notrun", "disabled"):
        out = (case.findtext("system-out") or "").splitlines()
        why = [out[i + 1] for i, line in enumerate(out[:-1]) if line.endswith("Skipped")]
        print("not run " + case.get("name") + ": " + (why[0] if why else "see its output"))
PY
}

build_and_test() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j 2 &&
    ctest --preset "$1" --output-junit "$PWD/$logs/$1.xml"
}

fuzz() {
  cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j 2 || return 1
  mkdir -p build/fuzz/corpus
  # Shown whole when it fails: a crash report is long.
  (cd build/fuzz && ./tests/fuzz/answers_fuzz -max_total_time="$fuzz_seconds" -print_final_stats=0 corpus \
    >../run-all/fuzz-run.log 2>&1) && tail -n 2 "$logs/fuzz-run.log" && return 0
  cat "$logs/fuzz-run.log"
  return 1
}

benchmark() {
  if [ "$(id -u)" -ne 0 ]; then echo "Not run: the benchmark mounts drives, which takes root"; return 0; fi
  bash bench/run.sh --tiny
}

# As root, as CI runs it, every test must run: a test that lacks what it
# needs fails, naming it. Otherwise a missing piece is a skip that names it.
# The one exception is a program this kernel refuses to start, which no one
# can run here.
if [ "$(id -u)" -eq 0 ]; then export VERRANT_REQUIRE_EVERY_TEST=1; fi

step "build and CTest" test build_and_test test
step "the same tests under the sanitizers" sanitize build_and_test sanitize
step "fuzzing the input reader for ${fuzz_seconds} s" fuzz fuzz
step "package checks" packages bash tests/packages.sh
step "benchmark, tiny size" benchmark benchmark

echo
echo "=== Summary"
printf '%s\n' "${summary[@]}"
for junit in "$logs/test.xml" "$logs/sanitize.xml"; do
  [ -f "$junit" ] && not_run "$junit"
done
grep -h "^Not run" "$logs/packages.log" "$logs/benchmark.log" 2>/dev/null
echo "Kernel: $(bash tests/kernel-runs-i386.sh)"
if [ "$failed" -gt 0 ]; then
  echo "$failed of ${#summary[@]} steps failed"
  exit 1
fi
echo "Every step passed"
