#!/usr/bin/env bash
# Builds and runs every test, step by step (each named below), and ends with
# a summary: a line a step, and one for each test that did not run, with its
# reason.
set -uo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=${VERRANT_FUZZ_SECONDS:-60}
logs=build/run-all
mkdir -p "$logs"
# Nothing from an earlier run may stand for this one's results.
rm -f "$logs"/*.xml
summary=()
failed=0

# Runs a step, showing its output and keeping it in $logs/<log>.log.
step() {
  local name=$1 log=$logs/$2.log started=$SECONDS
  shift 2
  printf '\n=== %s\n' "$name"
  "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]} took=$((SECONDS - started))
  if [ "$status" -eq 0 ]; then summary+=("passed: $name ($took s)"); else
    summary+=("FAILED: $name ($took s, status $status; its output is in $log)")
    failed=$((failed + 1))
  fi
}

build_and_test() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j 2 &&
    ctest --preset "$1" --output-junit "$PWD/$logs/$1.xml"
}

# A crash report is long: the fuzzer's output is shown whole when it fails.
fuzz() {
  cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j 2 && mkdir -p build/fuzz/corpus || return 1
  (cd build/fuzz && ./tests/fuzz/answers_fuzz -max_total_time="$fuzz_seconds" -print_final_stats=0 corpus) \
    >"$logs/fuzzer.log" 2>&1 && tail -n 2 "$logs/fuzzer.log" && return 0
  cat "$logs/fuzzer.log"
  return 1
}

benchmark() {
  if [ "$(id -u)" -eq 0 ]; then bash bench/run.sh --tiny; else echo "Not run: the benchmark, which mounts drives: root only"; fi
}

# As root, as CI runs it, every test must run: a test that lacks what it
# needs fails, naming it. Otherwise a missing piece is a skip that names it.
# Only a program this kernel refuses to start is skipped even as root.
if [ "$(id -u)" -eq 0 ]; then export VERRANT_REQUIRE_EVERY_TEST=1; fi

step "build and CTest" test build_and_test test
step "the Linux program's tests under the sanitizers" sanitize build_and_test sanitize
step "fuzzing the input reader for ${fuzz_seconds} s" fuzz fuzz
step "package checks" packages bash tests/packages.sh
step "benchmark, tiny size" benchmark benchmark

printf '\n=== Summary\n%s\n' "$(printf '%s\n' "${summary[@]}")"
# The tests that did not run, with the line their skip gave as the reason.
python3 - "$logs"/test.xml "$logs"/sanitize.xml <<'PY'
import os, sys, xml.etree.ElementTree as tree
for junit in filter(os.path.exists, sys.argv[1:]):
    for case in tree.parse(junit).getroot().iter("testcase"):
        out = (case.findtext("system-out") or "").splitlines() + [""]
        if case.get("status") in ("skipped", "notrun", "disabled"):
            why = next((out[i + 1] for i, line in enumerate(out[:-1]) if line.endswith("Skipped")), "")
            print("Not run: %s: %s" % (case.get("name").split("  #")[0], why or "see its output"))
PY
grep -h "^Not run" "$logs/packages.log" "$logs/benchmark.log" 2>/dev/null
echo "Kernel: $(bash kernel-runs-i386.sh)"
if [ "$failed" -gt 0 ]; then echo "$failed of ${#summary[@]} steps failed"; exit 1; fi
echo "Every step passed"
