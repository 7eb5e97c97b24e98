# Cross-compiles for Windows with Debian's mingw-w64 compiler for
# VERRANT_WINDOWS_PROCESSOR (i686 or x86_64, as the Windows presets set it;
# the compiler checks' own projects need it too), and its libraries only.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VERRANT_WINDOWS_PROCESSOR)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VERRANT_WINDOWS_PROCESSOR})
set(mingw ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_CXX_COMPILER ${mingw}-g++)
set(CMAKE_RC_COMPILER ${mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
