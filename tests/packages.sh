#!/usr/bin/env bash
# Builds the packages with cpack (a Debian package for every architecture of
# cmake/architectures.txt, and a zip for each Windows program) and checks
# what a user gets: the files in each, lintian's verdict on the Debian
# packages, the Windows programs' headers and version resources, the packaged
# programs, unpacked, answering n as the built one does, and that the same
# sources built twice more elsewhere give the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else fail "$what"; fi; }

version=$(sed -n 's/^project(verrant VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
copyright=$(sed -n 's/^Copyright (c) //p' LICENSE)
work=build/packages
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
debian_files="./usr/bin/verrant
./usr/share/doc/verrant/changelog.gz
./usr/share/doc/verrant/copyright
./usr/share/man/man1/verrant.1.gz"
wine=(bash tests/wine.sh "$PWD/$work/wineprefix")
# As root, git refuses a clone that another user owns; this one is trusted.
git() { command git -c safe.directory="$PWD" "$@"; }
# The architectures of the table, the native one first: name, triplet, qemu.
mapfile -t architectures < <(grep '^[a-z]' cmake/architectures.txt)
presets=(default windows windows64)
for row in "${architectures[@]:1}"; do presets+=("${row%% *}"); done

# Builds the packages of the sources in $1 into $1/$work/<preset>, quietly:
# only what the packages hold.
build_packages() {
  for preset in "${presets[@]}"; do
    local targets=(verrant)
    [[ $preset == windows* ]] || targets+=(compressed_docs)
    (cd "$1" && cmake --preset "$preset" -B "$work/$preset" >/dev/null &&
      cmake --build "$work/$preset" -j 2 --target "${targets[@]}" >/dev/null &&
      cd "$work/$preset" && cpack >/dev/null)
  done
}

# The packaged program answering n: the banner and the first question.
answer_n() { printf 'n\n' | "$@"; }

# Checks a Debian package; the rest of the words run its program.
check_deb() {
  local deb=$1 arch=$2; shift 2
  echo "--- $deb"
  check "it holds the program, its manual page, copyright and changelog, and nothing else" \
    test "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort)" = "$debian_files"
  check "its version is the build's" test "$(dpkg-deb -f "$deb" Version)" = "$version"
  check "it is for $arch" test "$(dpkg-deb -f "$deb" Architecture)" = "$arch"
  echo "Depends: $(dpkg-deb -f "$deb" Depends)"
  check "its dependencies name the C library the program was linked with" \
    grep -q '^libc6\(:[a-z0-9]*\)\? (>= ' <<<"$(dpkg-deb -f "$deb" Depends)"
  check "lintian finds no error and no warning" lintian --fail-on error,warning "$deb"
  rm -rf "$unpacked/deb" && dpkg-deb -x "$deb" "$unpacked/deb"
  check "the packaged program prints what the built one prints" \
    cmp <(answer_n "$@" "$unpacked/deb/usr/bin/verrant") "$unpacked/built.txt"
  check "its manual page reads" grep -q "^NAME" \
    <(MANWIDTH=80 man -l "$unpacked/deb/usr/share/man/man1/verrant.1.gz" 2>/dev/null)
  check "its copyright file names the MIT licence" grep -q '^License: Expat' "$unpacked/deb/usr/share/doc/verrant/copyright"
  check "... and the holders LICENSE names" grep -qx "Copyright: $copyright" "$unpacked/deb/usr/share/doc/verrant/copyright"
}

# Checks a Windows zip whose program's PE header names machine $2 and
# optional header $3 (PE32 or PE32+); the rest of the words run its
# program, or are "Not run:" and why.
check_zip() {
  local zip=$1 machine=$2 magic=$3; shift 3
  local top=$unpacked/zip/$(basename "$zip" .zip)
  echo "--- $zip"
  rm -rf "$unpacked/zip" && python3 -m zipfile -e "$zip" "$unpacked/zip"
  check "it holds verrant.exe and README.txt, and nothing else" \
    test "$(cd "$top" && find . -type f | sort | tr '\n' ' ')" = "./README.txt ./verrant.exe "
  check "verrant.exe is a console program for $machine, $magic" test \
    "$(exiftool -s3 -MachineType -PEType -Subsystem "$top/verrant.exe")" = "$(printf '%s\n' "$machine" "$magic" "Windows command line")"
  # The four numbers CMake made of the version for the resource.
  local numeric=$(sed -n 's/^FILEVERSION //p' "$work/windows/version.rc" | tr , .)
  check "its version resource gives the version, the product, its file name and the licence" test \
    "$(exiftool -s3 -FileVersionNumber -ProductVersionNumber -FileVersion -ProductVersion -ProductName \
      -OriginalFileName -LegalCopyright "$top/verrant.exe")" = "$(printf '%s\n' "$numeric" "$numeric" "$version" "$version" Verrant \
      verrant.exe "Copyright $copyright. MIT License.")"
  check "README.txt has CR LF line ends only" \
    test "$(grep -c $'\r$' "$top/README.txt")" = "$(wc -l <"$top/README.txt")"
  check "README.txt tells how to stop a run" grep -q 'Ctrl+C' "$top/README.txt"
  check "README.txt names the MIT licence" grep -q 'MIT' "$top/README.txt"
  if [ "$1" = "Not run:" ]; then echo "$* ($zip)"; return; fi
  check "the zipped program prints what the Linux one prints" \
    cmp <(answer_n "$@" "$top/verrant.exe") "$unpacked/built.txt"
  "${wine[@]}" wineserver -k 2>/dev/null || true
}

build_packages .
answer_n "$work/default/verrant" >"$unpacked/built.txt"
check "the banner shows the version" grep -q "Verrant v$version " "$unpacked/built.txt"
packages=()
for row in "${architectures[@]}"; do
  read -r arch triplet qemu <<<"$row"
  preset=$arch runner=("$qemu" -L "/usr/$triplet")
  if [ "$qemu" = - ]; then preset=default runner=(); fi
  packages+=("$work/$preset/verrant_${version}_$arch.deb")
  check_deb "${packages[-1]}" "$arch" "${runner[@]}"
done

probe=$(bash kernel-runs-i386.sh) && verdict=0 || verdict=$?
case $verdict in
  0) run32=("${wine[@]}" wine32) ;;
  1) run32=("Not run:" "$probe") ;;
  *) fail "$probe"; run32=("Not run:" "$probe") ;;
esac
check_zip "$work/windows/verrant-$version-win32.zip" "Intel 386 or later, and compatibles" PE32 "${run32[@]}"
check_zip "$work/windows64/verrant-$version-win64.zip" "AMD AMD64" PE32+ "${wine[@]}" wine64
packages+=("$work/windows/verrant-$version-win32.zip" "$work/windows64/verrant-$version-win64.zip")

# Two more builds of the same sources beside this one, on the same file
# system (cpack counts the sizes of the folders it packs): a clone's source
# archive (git archive) of the commit or, with changes not yet committed, of
# its tracked files as they stand (git stash create), stamped as the clone's
# build is, with the last commit's time.
if git rev-parse --git-dir >/dev/null 2>&1; then
  tree=$(git stash create)
  if [ -n "$tree" ]; then export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}; fi
  echo "--- Comparing with two builds of the source archive of ${tree:-HEAD}"
  copy() { git archive "${tree:-HEAD}" | tar -x -C "$1"; }
else
  echo "--- No git clone: comparing with two builds of copies of these sources"
  copy() { tar --exclude=./build -c . | tar -x -C "$1"; }
fi
for number in 1 2; do
  folder=build/copy-$number
  rm -rf "$folder" && mkdir -p "$folder"
  copy "$folder"
  echo "--- Building the copy in $folder"
  build_packages "$folder"
done
# Where two packages differ, diffoscope says where.
same_bytes() { cmp -s "$1" "$2" || { diffoscope --text - "$1" "$2" 2>/dev/null | head -n 40; return 1; }; }
for package in "${packages[@]}"; do
  check "$(basename "$package") from these sources and from two copies: the same bytes" \
    same_bytes "$package" "build/copy-1/$package"
  check "... and the two copies agree" same_bytes "build/copy-1/$package" "build/copy-2/$package"
done
rm -rf build/copy-1 build/copy-2

[ "$failures" -eq 0 ] || { echo "$failures package checks failed"; exit 1; }
echo "Every package check passed"
