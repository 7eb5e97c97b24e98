# The Linux architectures Verrant is built for, one row each: the Debian
# architecture, the GNU triplet of Debian's cross compiler (g++-<triplet>,
# which brings that architecture's C library in /usr/<triplet>), and the
# qemu that runs its programs on an amd64 machine. amd64 is the native build.
# Adding an architecture is a row here; CMakePresets.json names a preset
# after it, and install-packages.sh and the tests read this table.
set(VERRANT_LINUX_ARCHITECTURES
  "amd64   x86_64-linux-gnu      -"
  "arm64   aarch64-linux-gnu     qemu-aarch64"
  "armel   arm-linux-gnueabi     qemu-arm"
  "armhf   arm-linux-gnueabihf   qemu-arm"
  "i386    i686-linux-gnu        qemu-i386"
  "ppc64el powerpc64le-linux-gnu qemu-ppc64le"
  "riscv64 riscv64-linux-gnu     qemu-riscv64"
  "s390x   s390x-linux-gnu       qemu-s390x")

# Sets <prefix>_TRIPLET and <prefix>_QEMU to the row of arch.
function(verrant_architecture arch prefix)
  foreach(row IN LISTS VERRANT_LINUX_ARCHITECTURES)
    string(REGEX MATCHALL "[^ ]+" words "${row}")
    list(GET words 0 name)
    if(name STREQUAL arch)
      list(GET words 1 triplet)
      list(GET words 2 qemu)
      set(${prefix}_TRIPLET ${triplet} PARENT_SCOPE)
      set(${prefix}_QEMU ${qemu} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "No Linux architecture '${arch}' in cmake/architectures.cmake")
endfunction()
