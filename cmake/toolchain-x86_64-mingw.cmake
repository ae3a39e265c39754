# Cross-building for 64-bit Windows with Debian's mingw-w64 (POSIX thread
# model). The product is the 32-bit build (toolchain-i686-mingw.cmake);
# this one runs the same Windows code under 64-bit Wine on machines whose
# kernel runs no 32-bit programs (scripts/windows.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(NORV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NORV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NORV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${NORV_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${NORV_MINGW_PREFIX}-objdump)
set(CMAKE_DLLTOOL ${NORV_MINGW_PREFIX}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${NORV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under 64-bit Wine.
find_program(NORV_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NORV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NORV_WINE})
endif()
