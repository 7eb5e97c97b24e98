#!/usr/bin/env bash
# Builds the packages with cpack (the amd64 and arm64 Debian packages and the
# Windows zip) and checks what a user gets: the files in each, lintian's
# verdict on the Debian packages, the packaged programs, unpacked, answering
# n as the built one does, and that the same commit built twice more from a
# source archive made by git archive gives the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else fail "$what"; fi; }

version=$(sed -n 's/^project(verrant VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
debian_files="./usr/bin/verrant
./usr/share/doc/verrant/changelog.gz
./usr/share/doc/verrant/copyright
./usr/share/man/man1/verrant.1.gz"
export WINEPREFIX=$PWD/build/test/tests/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
export XDG_RUNTIME_DIR=$PWD/build/test/tests/wineprefix-runtime

# Builds the packages of the tree in folder with each preset, quietly.
build_packages() {
  for preset in default windows arm64; do
    (cd "$1" && cmake --preset $preset >/dev/null && cmake --build --preset $preset -j 2 >/dev/null &&
      cd build/$preset && cpack >/dev/null)
  done
}

# The packaged program answering n: the banner and the first question.
answer_n() { printf 'n\n' | "$@"; }

# Checks a Debian package; the rest of the words run its program.
check_deb() {
  local deb=$1; shift
  echo "--- $deb"
  check "it holds the program, its manual page, copyright and changelog, and nothing else" \
    test "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort)" = "$debian_files"
  check "its version is the build's" test "$(dpkg-deb -f "$deb" Version)" = "$version"
  echo "Depends: $(dpkg-deb -f "$deb" Depends)"
  check "its dependencies name the C library the program was linked with" \
    grep -q '^libc6\(:[a-z0-9]*\)\? (>= ' <<<"$(dpkg-deb -f "$deb" Depends)"
  check "lintian finds no error and no warning" lintian --fail-on error,warning "$deb"
  rm -rf "$unpacked/deb" && dpkg-deb -x "$deb" "$unpacked/deb"
  check "the packaged program prints what the built one prints" \
    cmp <(answer_n "$@" "$unpacked/deb/usr/bin/verrant") "$unpacked/built.txt"
  check "its manual page reads" grep -q "^NAME" \
    <(MANWIDTH=80 man -l "$unpacked/deb/usr/share/man/man1/verrant.1.gz" 2>/dev/null)
}

build_packages .
answer_n build/default/verrant >"$unpacked/built.txt"
check "the banner shows the version" grep -q "Verrant v$version " "$unpacked/built.txt"
packages=("build/default/verrant_${version}_$(dpkg --print-architecture).deb"
  "build/arm64/verrant_${version}_arm64.deb" "build/windows/verrant-${version}-win32.zip")
check_deb "${packages[0]}"
check_deb "${packages[1]}" qemu-aarch64 -L /usr/aarch64-linux-gnu
check "the arm64 package is for arm64" test "$(dpkg-deb -f "${packages[1]}" Architecture)" = arm64

zip=${packages[2]}
echo "--- $zip"
python3 -m zipfile -e "$zip" "$unpacked/zip"
top=$unpacked/zip/verrant-${version}-win32
check "it holds verrant.exe and README.txt, and nothing else" \
  test "$(cd "$top" && find . -type f | sort | tr '\n' ' ')" = "./README.txt ./verrant.exe "
# Its PE header: Intel 386, PE32 (not PE32+), the console subsystem.
is_win32_console() {
  python3 -c 'import struct, sys
b = open(sys.argv[1], "rb").read(); pe = struct.unpack_from("<I", b, 0x3c)[0]
word = lambda at: struct.unpack_from("<H", b, pe + at)[0]
sys.exit(not (b[:2] == b"MZ" and b[pe:pe + 4] == b"PE\0\0" and word(4) == 0x14c and word(24) == 0x10b
              and word(24 + 68) == 3))' "$1"
}
check "verrant.exe is a 32-bit console program" is_win32_console "$top/verrant.exe"
check "README.txt has CR LF line ends only" \
  test "$(grep -c $'\r$' "$top/README.txt")" = "$(wc -l <"$top/README.txt")"
check "README.txt tells how to stop a run" grep -q 'Ctrl+C' "$top/README.txt"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
check "the zipped program prints what the Linux one prints" \
  cmp <(answer_n wine "$top/verrant.exe") "$unpacked/built.txt"
wineserver -k 2>/dev/null || true

# The commit, as a source archive, built twice in folders beside the first
# build: on the same file system, since cpack counts the sizes of the folders
# it packs (in Installed-Size, and in the zip's folder entries).
for copy in 1 2; do
  folder=build/archive-$copy
  rm -rf "$folder" && mkdir -p "$folder"
  git -c safe.directory="$PWD" archive HEAD | tar -x -C "$folder"
  echo "--- The commit's source archive, built in $folder"
  build_packages "$folder"
done
for package in "${packages[@]}"; do
  check "$(basename "$package") from the clone and from two builds of the archive: the same bytes" \
    cmp "$package" "build/archive-1/$package"
  check "... and the two archive builds agree" cmp "build/archive-1/$package" "build/archive-2/$package"
done
rm -rf build/archive-1 build/archive-2

if [ "$failures" -gt 0 ]; then
  echo "$failures package checks failed"
  exit 1
fi
echo "Every package check passed"
