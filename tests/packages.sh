#!/usr/bin/env bash
# Builds every package with cpack (doc/packaging.md lists them) and checks
# what a user gets: files, lint, the program (the static one in an empty
# root), the same bytes from two more builds, and a packager's build.
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
wine=(bash tests/wine.sh "$PWD/$work/wineprefix")
# As root, git refuses a clone that another user owns; this one is trusted.
git() { command git -c safe.directory="$PWD" "$@"; }
# The architectures of the table, the native one first: name, triplet, qemu.
mapfile -t architectures < <(grep '^[a-z]' cmake/architectures.txt)
presets=(default windows windows64)
for row in "${architectures[@]:1}"; do presets+=("${row%% *}"); done

# Builds the packages of the sources in $1 into $1/$work/<preset>, quietly.
build_packages() {
  for preset in "${presets[@]}"; do
    local targets=(verrant)
    [[ $preset == windows* ]] || targets+=(verrant_static compressed_docs)
    (cd "$1" && cmake --preset "$preset" -B "$work/$preset" >/dev/null &&
      cmake --build "$work/$preset" -j 2 --target "${targets[@]}" >/dev/null &&
      cd "$work/$preset" && cpack >/dev/null)
  done
}

answer_n() { printf 'n\n' | "$@"; }

# Each format's tools on a package $1: its files, a field (version, arch or
# requires), lint's verdict, and the package installed into the folder $2.
deb_files() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ {print substr($NF, 2)}' | sort; }
deb_field() { local -A name=([version]=Version [arch]=Architecture [requires]=Depends)
  dpkg-deb -f "$1" "${name[$2]}" | sed 's/, /\n/g'; }
deb_lint() { lintian --fail-on error,warning "$1"; }
deb_install() { dpkg-deb -x "$1" "$2"; }
rpm_files() { rpm -qp --qf '[%{FILEMODES:perms} %{FILENAMES}\n]' "$1" | awk '$1 !~ /^d/ {print $2}' | sort; }
rpm_field() { if [ "$2" = requires ]; then rpm -qpR "$1"; else rpm -qp --qf "%{$2}" "$1"; fi; }
rpm_lint() { local said; said=$(rpmlint -c tests/rpmlint.toml "$1" 2>&1); grep -q ' 0 errors, 0 warnings,' <<<"$said" || { echo "$said"; return 1; }; }
# rpm warns that Debian installs with dpkg; it does not here.
rpm_install() { rpm --root "$2" --dbpath /rpm --nodeps --ignorearch --nosignature -i "$1" 2>&1 | { grep -v '^rpm: ' >&2 || true; }
  rm -rf "$2/rpm" && test -x "$2/usr/bin/verrant"; }
# Each format's files beyond the Debian ones, and how it names the C library
# (rpm's own features aside).
deb_libc='libc6(:[a-z0-9]+)? \(>= [0-9.]+\)'
rpm_more=/usr/share/licenses/verrant/LICENSE
rpm_libc='libc\.so\.6(\(.*\))?|rpmlib\(.*|rtld\(GNU_HASH\)'
debian_files="/usr/bin/verrant
/usr/share/doc/verrant/changelog.gz
/usr/share/doc/verrant/copyright
/usr/share/man/man1/verrant.1.gz"

# Checks package $2 of format $1 (deb or rpm) for architecture $3, as that
# format names it; the rest of the words run its program.
check_package() {
  local format=$1 package=$2 arch=$3 more libc; shift 3
  more=${format}_more libc=${format}_libc
  echo "--- $package"
  check "it holds the program, its manual page, copyright and changelog, and nothing else" \
    test "$("${format}_files" "$package")" = "$(printf '%s\n' $debian_files ${!more:-} | sort)"
  check "its version is the build's" test "$("${format}_field" "$package" version)" = "$version"
  check "it is for $arch" test "$("${format}_field" "$package" arch)" = "$arch"
  local requires=$("${format}_field" "$package" requires)
  echo "It requires: "$requires
  check "it requires the C library the program was linked with, and nothing else" \
    test -z "$(grep -Evx "${!libc}" <<<"$requires")" -a -n "$(grep -Ex 'libc.*' <<<"$requires")"
  check "$format's lint finds no error and no warning" "${format}_lint" "$package"
  rm -rf "$unpacked/root" && mkdir "$unpacked/root" && "${format}_install" "$package" "$unpacked/root"
  check "the packaged program prints what the built one prints" \
    cmp <(answer_n "$@" "$unpacked/root/usr/bin/verrant") "$unpacked/built.txt"
  check "its manual page reads" grep -q "^NAME" \
    <(MANWIDTH=80 man -l "$unpacked/root/usr/share/man/man1/verrant.1.gz" 2>/dev/null)
  check "its copyright file names the MIT licence" grep -q '^License: Expat' "$unpacked/root/usr/share/doc/verrant/copyright"
  check "... and the holders LICENSE names" grep -qx "Copyright: $copyright" "$unpacked/root/usr/share/doc/verrant/copyright"
}

# A short fill of a 50-folder tmpfs drive C, the folder $1 standing for /mnt,
# by the program the words run: the first 300 lines it prints answering y and
# c (then it is stopped: it never ends by itself), and the folders it made.
short_fill() {
  local mnt=$1; shift
  mkdir -p "$mnt/c"
  unshare -m --propagation private bash -c 'mount -t tmpfs -o nr_inodes=50 fill "$0/c" && mount --rbind "$0" /mnt || exit
    out=$(mktemp)
    printf "y\nc\n" | timeout 60 "$@" >"$out" &
    while kill -0 $! 2>/dev/null && [ "$(wc -l <"$out")" -lt 300 ]; do sleep 0.1; done
    kill $! 2>/dev/null; wait; head -n 300 "$out"; rm "$out"; find /mnt/c -mindepth 1 -type d | wc -l' "$mnt" "$@"
}

# Checks the static program's tarball $1 for architecture $2, run by its qemu
# (the other words, or none) in a root of its own files and /mnt alone.
check_tarball() {
  local tarball=$1 arch=$2 top root=$unpacked/static; shift 2
  top=$(basename "$tarball" .tar.gz)
  echo "--- $tarball"
  rm -rf "$root" && mkdir "$root" && tar -xzf "$tarball" -C "$root"
  check "it holds the program, its manual page, the README and LICENSE, and nothing else" \
    test "$(cd "$root" && find . -type f | sort | tr '\n' ' ')" = "./$top/LICENSE ./$top/README.md ./$top/verrant ./$top/verrant.1 "
  check "its program is linked statically" grep -q 'statically linked' <(file "$root/$top/verrant")
  mv "$root/$top"/* "$root" && rmdir "$root/$top" && mkdir "$root/mnt"
  local runner=(chroot "$root" /verrant)
  [ $# -eq 0 ] || runner=("$@" -L "$root" "$root/verrant")
  check "in an empty root it fills a drive as the built program does" \
    cmp <(short_fill "$root/mnt" "${runner[@]}") "$unpacked/fill.txt"
}

# Checks a Windows zip whose program is for machine $2, PE type $3; the rest
# of the words run its program, or are "Not run:" and why.
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
short_fill "$unpacked/mnt" "$work/default/verrant" >"$unpacked/fill.txt"
check "the built program fills the 50-folder drive" test "$(tail -n 1 "$unpacked/fill.txt")" = 49
packages=()
for row in "${architectures[@]}"; do
  read -r arch triplet qemu rpm_arch <<<"$row"
  preset=$arch runner=("$qemu" -L "/usr/$triplet") static=("$qemu")
  if [ "$qemu" = - ]; then preset=default runner=() static=(); fi
  packages+=("$work/$preset/verrant_${version}_$arch.deb")
  check_package deb "${packages[-1]}" "$arch" "${runner[@]}"
  if [ "$rpm_arch" != - ]; then
    packages+=("$work/$preset/verrant-$version-1.$rpm_arch.rpm")
    check_package rpm "${packages[-1]}" "$rpm_arch" "${runner[@]}"
  fi
  packages+=("$work/$preset/verrant-$version-linux-$arch.tar.gz")
  check_tarball "${packages[-1]}" "$arch" "${static[@]}"
done

probe=$(bash kernel-runs-i386.sh) && verdict=0 || verdict=$?
[ "$verdict" -le 1 ] || fail "$probe"
run32=("${wine[@]}" wine32)
[ "$verdict" -eq 0 ] || run32=("Not run:" "$probe")
check_zip "$work/windows/verrant-$version-win32.zip" "Intel 386 or later, and compatibles" PE32 "${run32[@]}"
check_zip "$work/windows64/verrant-$version-win64.zip" "AMD AMD64" PE32+ "${wine[@]}" wine64
packages+=("$work/windows/verrant-$version-win32.zip" "$work/windows64/verrant-$version-win64.zip")

# Two more builds beside this one, on its file system (cpack counts folder
# sizes): of git archive of the commit, or of the tracked files as they stand
# (git stash create), stamped with the last commit's time as the clone's is.
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

# A packager's build, as Debian's dh runs it: the distribution's flags (CPPFLAGS
# in CFLAGS and CXXFLAGS), build type None, a verbose log, the native tests,
# as a user with no privileges, for whom the tests that need root skip.
packager=$unpacked/packager
mkdir "$packager" && copy "$packager" && chown -R nobody:nogroup "$packager" && chmod 755 "$unpacked"
as_packager() {
  (cd "$packager" && setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -u VERRANT_REQUIRE_EVERY_TEST HOME="$packager" bash -c 'eval "$(dpkg-buildflags --export=sh)" &&
      export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS" && '"$1")
}
echo "--- The packager's build, as the user nobody"
# blhc reads a log from the line dpkg-buildpackage starts it with.
log=$unpacked/build.log
echo "dpkg-buildpackage: info: host architecture $(dpkg --print-architecture)" >"$log"
built() { as_packager 'cmake -S . -B b -DCMAKE_BUILD_TYPE=None -DCMAKE_VERBOSE_MAKEFILE=ON -DVERRANT_TESTS=ON &&
  cmake --build b -j 2' >>"$log" 2>&1 || { tail -n 30 "$log"; return 1; }; }
# Only the summary of a run that passes: what ran, and what skipped.
tested() { local said; said=$(as_packager 'ctest --test-dir b -j 2 --output-on-failure' 2>&1) || { echo "$said"; return 1; }
  sed -n '/tests passed/,$p' <<<"$said"; }
# hardening-check's yes to the three every build gets; the others depend on
# the distribution's flags and the code (no local array, no stack protector).
hardened() { local said line; said=$(hardening-check "$1")
  for line in "Position Independent Executable" "Fortify Source functions" "Read-only relocations"; do
    grep -q "^ $line: yes" <<<"$said" || { echo "$said"; return 1; }
  done; }
check "it builds" built
check "hardening-check finds it PIE, with fortified functions and read-only relocations" hardened "$packager/b/verrant"
check "blhc finds every flag in the log" blhc --all "$log"
check "its tests pass, those that need root skipped" tested
check "it installs the program, its manual page, copyright and changelog where GNUInstallDirs puts them" test \
  "$(as_packager 'DESTDIR=$HOME/root cmake --install b --prefix /usr >/dev/null && cd root && find . -type f | sort')" = \
  "$(printf '.%s\n' $debian_files)"

[ "$failures" -eq 0 ] || { echo "$failures package checks failed"; exit 1; }
echo "Every package check passed"
