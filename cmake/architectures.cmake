# The rows of architectures.txt, each "<arch> <triplet> <qemu> <rpm arch>".
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/architectures.txt VERRANT_LINUX_ARCHITECTURES REGEX "^[a-z]")
list(TRANSFORM VERRANT_LINUX_ARCHITECTURES REPLACE " .*" "" OUTPUT_VARIABLE VERRANT_LINUX_ARCHITECTURE_NAMES)

# Sets <prefix>_TRIPLET, <prefix>_QEMU and <prefix>_RPM to the row of arch.
function(verrant_architecture arch prefix)
  set(row ${VERRANT_LINUX_ARCHITECTURES})
  list(FILTER row INCLUDE REGEX "^${arch} ")
  if(NOT row)
    message(FATAL_ERROR "No Linux architecture '${arch}' in cmake/architectures.txt")
  endif()
  string(REGEX MATCHALL "[^ ]+" words "${row}")
  list(POP_FRONT words name triplet qemu rpm)
  set(${prefix}_TRIPLET ${triplet} PARENT_SCOPE)
  set(${prefix}_QEMU ${qemu} PARENT_SCOPE)
  set(${prefix}_RPM ${rpm} PARENT_SCOPE)
endfunction()
