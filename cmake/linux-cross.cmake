# Cross-compiles for the Linux architecture VERRANT_ARCH, a row of
# architectures.txt, with Debian's g++-<triplet>, against the C library
# that compiler brings in /usr/<triplet>. The presets named after the
# architectures set VERRANT_ARCH.
include(${CMAKE_CURRENT_LIST_DIR}/architectures.cmake)
# The compiler checks run in projects of their own, which need it too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VERRANT_ARCH)
verrant_architecture("${VERRANT_ARCH}" cross)
string(REGEX REPLACE "-.*" "" processor ${cross_TRIPLET})

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${processor})
set(CMAKE_CXX_COMPILER ${cross_TRIPLET}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${cross_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The Debian package is for that architecture, its dependencies worked out
# from the C library the compiler brings, and qemu runs the tests' programs.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${VERRANT_ARCH})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS /usr/${cross_TRIPLET}/lib)
set(CMAKE_CROSSCOMPILING_EMULATOR ${cross_QEMU} -L /usr/${cross_TRIPLET})
