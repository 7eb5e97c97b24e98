# The rows of architectures.txt, each "<arch> <triplet> <qemu>".
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/architectures.txt VERRANT_LINUX_ARCHITECTURES REGEX "^[a-z]")

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
  message(FATAL_ERROR "No Linux architecture '${arch}' in cmake/architectures.txt")
endfunction()
