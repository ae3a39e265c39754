# Cross-building for 32-bit Windows with Debian's mingw-w64:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake ...
# scripts/windows.sh passes this and the libcrypto it builds.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(NORV_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# Test programs run under Wine.
find_program(NORV_WINE wine)
if(NORV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NORV_WINE})
endif()
