#!/usr/bin/env bash
# Counts with callgrind the instructions the program spends a folder on a full
# drive, the C library's included: a width-6 build walks a tmpfs drive that
# holds 30 files, its output going to a file, and the count of the whole run
# is divided by its 55,987 folders. Takes root, for the drive's mount, which
# lives in a mount namespace of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
folders=55987  # 1 + 6 + 6^2 + ... + 6^6
work=$(mktemp -d /var/tmp/verrant-instructions.XXXXXX)
trap 'rm -rf "$work"' EXIT
cmake -S . -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DVERRANT_FOLDERS_PER_LEVEL=6 \
  -DVERRANT_DRIVE_ROOT="$work/drives" >/dev/null
cmake --build "$work/build" --target verrant -j 2 >/dev/null
mkdir "$work/drives"
unshare -m --propagation private bash -c '
  mount -t tmpfs -o nr_inodes=30 verrant "$1/drives" && mkdir "$1/drives/c"
  printf "y\nc\n" | valgrind --tool=callgrind --callgrind-out-file="$1/callgrind.out" \
    "$1/build/verrant" >"$1/output" 2>"$1/valgrind.log"' _ "$work"
failed=$(grep -c "^Failed to write " "$work/output" || true)
if [ "$failed" -lt $((folders - 100)) ]; then
  echo "Expected a full drive, but only $failed folders failed" >&2
  exit 1
fi
total=$(callgrind_annotate "$work/callgrind.out" | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
echo "$((total / folders)) instructions a folder ($total in all; $failed of $folders folders failed)"
