# Cross-building for 64-bit Windows with Debian's mingw-w64. The product is
# the 32-bit build (toolchain-i686-mingw.cmake); this one runs the same
# Windows code under 64-bit Wine on machines whose kernel runs no 32-bit
# programs (scripts/windows.sh).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(NORV_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

find_program(NORV_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NORV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NORV_WINE})
endif()
