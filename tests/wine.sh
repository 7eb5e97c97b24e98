#!/usr/bin/env bash
# Runs a command under the Wine prefix PREFIX (made first where missing), in
# the environment of every Wine run of the tests and the benchmark. wine32 and
# wine64 run that loader itself: the wine command would fall back silently.
#   bash tests/wine.sh PREFIX COMMAND...
set -euo pipefail
prefix=$1
shift
# Wine's display drivers want a runtime folder of the user's, which a fresh
# machine without a desktop session lacks: it gets one of its own.
export WINEPREFIX=$prefix XDG_RUNTIME_DIR=$prefix-runtime WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
case $1 in
  wine32) loader=/usr/lib/wine/wine ;;
  wine64) loader=/usr/lib/wine/wine64 ;;
  *) exec "$@" ;;
esac
for needed in "$loader" /usr/lib/wine/wine64; do
  [ -x "$needed" ] || { echo "Wine's loader $needed, which is not installed" >&2; exit 127; }
done
# The prefix is made with the 64-bit loader, which every Wine machine has.
if [ ! -e "$prefix/system.reg" ]; then
  /usr/lib/wine/wine64 wineboot --init >&2 && wineserver -w ||
    { echo "a Wine prefix: wineboot --init failed" >&2; exit 1; }
fi
shift
exec "$loader" "$@"
