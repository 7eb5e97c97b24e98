#!/usr/bin/env bash
# Counts with callgrind the instructions a folder costs on a full drive, the
# C library's included, for the program and the echo floor built at WIDTH (6
# unless given) (bench/README.md). Takes root, for the drive's mount.
#   bash bench/instructions.sh [WIDTH]
set -euo pipefail
cd "$(dirname "$0")/.."
width=${1:-6}
bound=$([ "$width" -le 8 ] && echo 0 || echo 10s)
work=$(mktemp -d /var/tmp/verrant-instructions.XXXXXX)
trap 'rm -rf "$work"' EXIT
cmake -S . -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DVERRANT_FOLDERS_PER_LEVEL="$width" \
  -DVERRANT_DRIVE_ROOT="$work/drives" -DVERRANT_BENCH=ON >/dev/null
cmake --build "$work/build" --target verrant bench_echo_floor -j 2 >/dev/null
mkdir "$work/drives"
# count NAME COMMAND...: runs the command on a fresh full drive and prints
# its instructions a folder.
count() {
  local name=$1 out="$work/$1.out"
  shift
  unshare -m --propagation private bash -c 'mount -t tmpfs -o nr_inodes=30 verrant "$1" && mkdir "$1/c" &&
    shift && { printf "y\nc\n" | timeout "$0" valgrind --tool=callgrind --callgrind-out-file="$@" >/dev/null 2>&1
    status=$?; [ $status -eq 0 ] || [ $status -eq 124 ]; }' "$bound" "$work/drives" "$out" "$@"
  [ -s "$out" ] || { echo "bench/instructions.sh: $name gave no count" >&2; exit 1; }
  local total calls
  total=$(callgrind_annotate "$out" | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
  # The callers of mkdir, each with its count of calls, stand just above it.
  calls=$(callgrind_annotate --tree=caller "$out" |
    awk '/^$/ {callers = ""} / < / {callers = callers $0 "\n"} /\* .*:mkdir / {printf "%s", callers; exit}' |
    grep -o '([0-9,]*x)' | tr -d '(),x' | paste -sd+ | bc)
  printf "%-12s %5d instructions a folder (%d in all, %d folders)\n" "$name" $((total / calls)) "$total" "$calls"
}
count verrant "$work/build/verrant"
count echo-floor "$work/build/bench/bench_echo_floor" "$width" C "$work/drives/c"
