#!/usr/bin/env bash
# Tells whether this kernel starts 32-bit x86 (i386) programs, which some
# x86-64 kernels refuse (ia32_emulation=off), by starting a 96-byte one that
# exits with status 7. Exit status 0: it ran; 1: the kernel refused it; 2: it
# could not be tried; a line says which. MACHINE, the ELF machine number (3,
# i386, by default), lets a test see the refusal on any kernel.
#   bash kernel-runs-i386.sh [MACHINE]
set -u
machine=${1:-3}
folder=$(mktemp -d "${TMPDIR:-/tmp}/verrant-i386-probe.XXXXXX") || { echo "no folder to try it in"; exit 2; }
trap 'rm -rf "$folder"' EXIT
program=$folder/exit7
# ELF header, one loadable segment at 0x08048000, then the code at 0x08048054:
# mov ebx, 7; mov eax, 1 (exit); int 0x80.
printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0' >"$program"
printf "\\$(printf %o $((machine & 255)))\\$(printf %o $((machine >> 8 & 255)))" >>"$program"
printf '\1\0\0\0\124\200\4\010\064\0\0\0' >>"$program"
printf '\0\0\0\0\0\0\0\0\064\0\040\0\1\0\0\0\0\0\0\0' >>"$program"
printf '\1\0\0\0\0\0\0\0\0\200\4\010\0\200\4\010\140\0\0\0\140\0\0\0\5\0\0\0\0\020\0\0' >>"$program"
printf '\273\7\0\0\0\270\1\0\0\0\315\200' >>"$program"
chmod +x "$program"
said=$(cd "$folder" && LC_ALL=C ./exit7 2>&1)
status=$?
tried="started a minimal i386 program (ELF machine $machine)"
if [ $status -eq 7 ]; then
  echo "this kernel starts i386 programs: $tried, and it ran"
  exit 0
elif [[ $said == *"Exec format error"* ]]; then
  echo "this kernel starts no i386 programs: $tried, and the kernel refused it (Exec format error)"
  exit 1
fi
echo "cannot tell whether this kernel starts i386 programs: $tried, and got status $status: $said"
exit 2
