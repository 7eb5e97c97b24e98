#!/usr/bin/env bash
# Installs the Debian packages Verrant needs (Debian 12 and 13), with apt-get:
# as root directly, otherwise through sudo.
#
#   bash install-packages.sh build   what building the program and its package needs
#   bash install-packages.sh test    that, and what every test needs
#
# build: cmake, make, g++, and dpkg-dev and file, which cpack uses to work out
#        the Debian package's dependencies.
# test:  besides, GoogleTest and GoogleMock, clang with its sanitizer and fuzzer
#        runtimes (libclang-rt-dev: the runtimes of the release's own clang,
#        whatever its version), valgrind, strace, python3, the tools that make and mount the
#        drives the tests fill (ext4, xfs, btrfs, and NTFS through ntfs-3g),
#        git (packages are stamped with the last commit's time), lintian and
#        man-db for the package checks, the mingw-w64 cross compiler for the
#        Windows program and Wine (with its 32-bit half, from the i386
#        architecture) to run it, and the arm64 cross compiler with qemu-user
#        to build the arm64 program and run it here.
set -euo pipefail

build=(cmake make g++ dpkg-dev file)
tests=(clang libclang-rt-dev libgtest-dev libgmock-dev valgrind strace python3 util-linux
  mount findutils git e2fsprogs xfsprogs btrfs-progs ntfs-3g lintian man-db g++-mingw-w64-i686
  wine wine32:i386 g++-aarch64-linux-gnu qemu-user)

case "${1:-}" in
  build) packages=("${build[@]}") ;;
  test) packages=("${build[@]}" "${tests[@]}") ;;
  *) echo "usage: bash install-packages.sh build|test" >&2; exit 2 ;;
esac

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-packages.sh: run it as root, or install sudo" >&2; exit 1; }
  as_root=(sudo)
fi

if [ "$1" = test ]; then "${as_root[@]}" dpkg --add-architecture i386; fi
# apt-get reads no answers: packages must never wait on a question, and the
# standard input stays for whatever runs after this script.
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q </dev/null
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -q --no-install-recommends "${packages[@]}" </dev/null
