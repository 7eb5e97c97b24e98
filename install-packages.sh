#!/usr/bin/env bash
# Installs with apt-get (through sudo unless root) what Verrant needs on Debian 12 and 13:
#   bash install-packages.sh build   to build the program and its package
#   bash install-packages.sh test    that, and every test's needs: the lists below, a cross
#     compiler per row of cmake/architectures.txt, Wine (32-bit too where the kernel runs it)
set -euo pipefail
cd "$(dirname "$0")"

build=(cmake make g++ dpkg-dev file)
tests=(clang libclang-rt-dev libgtest-dev libgmock-dev valgrind strace python3 util-linux
  mount findutils git e2fsprogs xfsprogs btrfs-progs ntfs-3g exfatprogs exfat-fuse lintian rpm rpmlint devscripts blhc man-db libimage-exiftool-perl diffoscope-minimal
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 qemu-user)
# g++-<triplet> for every row of the table of architectures but the native one.
tests+=($(awk '/^[a-z]/ && $3 != "-" {print "g++-" $2}' cmake/architectures.txt))

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
# apt-get reads no answers: packages must never wait on a question, and the
# standard input stays for whatever runs after this script.
apt_get() { "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@" </dev/null; }
apt_install() { apt_get install -y -q --no-install-recommends "$@"; }

# The probe's verdict on i386 programs: 0 runs, 1 refuses; else it stops the install.
verdict=1
if [ "$1" = test ]; then
  probe=$(bash kernel-runs-i386.sh) && verdict=0 || verdict=$?
  [ "$verdict" -le 1 ] || { echo "install-packages.sh: $probe" >&2; exit 1; }
  packages+=(wine wine64)
  echo "install-packages.sh: $probe"
  if [ "$verdict" -eq 0 ]; then "${as_root[@]}" dpkg --add-architecture i386; fi
fi
# A list that fails to update (a mirror mid-sync, say) is only a warning: the
# lists already there may hold what is needed, and apt-get install decides.
apt_get update -q || echo "install-packages.sh: warning: some package lists could not be updated" >&2
apt_install "${packages[@]}"
# Wine's 32-bit half last, so that whatever stops it stops nothing else; its
# i386 libraries must be at the versions of the amd64 ones just installed.
if [ "$1" = test ] && [ "$verdict" -eq 0 ]; then
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  if ! apt_install wine32:i386 2>&1 | tee "$log"; then
    # The first package apt cannot install, where it names one, and its last error.
    unmet=$(grep -m 1 'but it is not installable' "$log" | sed 's/.*: //' || true)
    echo "install-packages.sh: cannot install Wine's 32-bit half (wine32:i386), which this kernel runs;" \
      "apt-get said: ${unmet:+$unmet; }$(grep '^E: ' "$log" | tail -n 1)"
    exit 1
  fi
fi
