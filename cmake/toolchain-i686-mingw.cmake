# Cross-building for 32-bit Windows with Debian's mingw-w64 (POSIX thread
# model, for std::thread and std::mutex):
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake ...
# scripts/windows.sh passes this and the libcrypto it builds.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(NORV_MINGW_PREFIX i686-w64-mingw32)
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

# Test programs run under Wine.
find_program(NORV_WINE wine)
if(NORV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NORV_WINE})
endif()
