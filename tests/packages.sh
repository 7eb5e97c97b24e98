#!/usr/bin/env bash
# Builds the Debian package and the Windows zip with cpack and checks what a
# user gets: the files in each, lintian's verdict on the Debian package, the
# packaged programs, unpacked, answering n, and that a second build of the
# same sources in another folder, later, gives the same bytes. Run by
# tests/run-all.sh after the native and Windows builds.
set -euo pipefail
cd "$(dirname "$0")/.."

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else fail "$what"; fi; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/default/CMakeCache.txt)
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT

# The packaged program answering n: the banner and the first question.
answer_n() { printf 'n\n' | "$@"; }

echo "--- Debian package, version $version"
(cd build/default && cpack -G DEB >/dev/null)
deb=build/default/verrant_${version}_$(dpkg --print-architecture).deb
check "$deb is made" test -f "$deb"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}')
expected_files="./usr/bin/verrant
./usr/share/doc/verrant/changelog.gz
./usr/share/doc/verrant/copyright
./usr/share/man/man1/verrant.1.gz"
check "it holds the program, its manual page, copyright and changelog, and nothing else" \
  test "$(sort <<<"$files")" = "$expected_files"
echo "$files"
check "its version is the build's" test "$(dpkg-deb -f "$deb" Version)" = "$version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
check "its dependencies name the C library the program was linked with" grep -q '^libc6 (>= ' <<<"$depends"
echo "lintian:"
check "lintian finds no error and no warning" lintian --fail-on error,warning "$deb"

dpkg-deb -x "$deb" "$unpacked/deb"
answer_n "$unpacked/deb/usr/bin/verrant" >"$unpacked/packaged.txt"
answer_n build/default/verrant >"$unpacked/built.txt"
check "the packaged program prints what the built one prints" cmp "$unpacked/packaged.txt" "$unpacked/built.txt"
check "its banner shows the version" grep -q "Verrant v$version " "$unpacked/packaged.txt"
check "its manual page reads" grep -q "^NAME" \
  <(MANWIDTH=80 man -l "$unpacked/deb/usr/share/man/man1/verrant.1.gz" 2>/dev/null)

if [ ! -f build/windows/CMakeCache.txt ]; then
  echo "--- No Windows build: the zip is not checked"
else
  echo "--- Windows zip"
  (cd build/windows && cpack -G ZIP >/dev/null)
  zip=build/windows/verrant-${version}-win32.zip
  check "$zip is made" test -f "$zip"
  python3 -m zipfile -e "$zip" "$unpacked/zip"
  top=$unpacked/zip/verrant-${version}-win32
  check "it holds verrant.exe and README.txt, and nothing else" \
    test "$(cd "$top" && find . -type f | sort | tr '\n' ' ')" = "./README.txt ./verrant.exe "
  check "verrant.exe is a 32-bit console program" grep -q 'PE32 executable (console) Intel 80386' \
    <(file "$top/verrant.exe")
  check "README.txt has CR LF line ends only" \
    test "$(grep -c $'\r$' "$top/README.txt")" = "$(wc -l <"$top/README.txt")"
  check "README.txt tells how to stop a run" grep -q 'Ctrl+C' "$top/README.txt"
  if command -v wine >/dev/null; then
    export WINEPREFIX=$PWD/build/test/tests/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
    answer_n wine "$top/verrant.exe" >"$unpacked/windows.txt"
    check "the zipped program prints what the Linux one prints" cmp "$unpacked/windows.txt" "$unpacked/built.txt"
    wineserver -k 2>/dev/null || true
  else
    echo "--- No Wine: the zipped program is not run"
  fi
fi

# The same sources, commit history included, built again in another folder
# from scratch: the packages must come out byte for byte the same. The folder
# is on the same file system as the first build's: cpack counts the sizes of
# the folders it packs (in Installed-Size, and in the zip's folder entries),
# and a folder's size depends on the file system.
again=build/reproduce
rm -rf "$again"
mkdir -p "$again"
tar -c --exclude=./build . | tar -x -C "$again"
echo "--- A second build of the same sources, in $again"
(cd "$again" && cmake --preset default >/dev/null && cmake --build --preset default -j 2 >/dev/null &&
  cd build/default && cpack -G DEB >/dev/null)
check "the Debian package is the same bytes" cmp "$deb" "$again/$deb"
if [ -f build/windows/CMakeCache.txt ]; then
  (cd "$again" && cmake --preset windows >/dev/null && cmake --build --preset windows -j 2 >/dev/null &&
    cd build/windows && cpack -G ZIP >/dev/null)
  check "the Windows zip is the same bytes" cmp "$zip" "$again/$zip"
fi
rm -rf "$again"

if [ "$failures" -gt 0 ]; then
  echo "$failures package checks failed"
  exit 1
fi
echo "Every package check passed"
