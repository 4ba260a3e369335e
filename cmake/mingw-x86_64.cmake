# Cross-build for 64-bit Windows with mingw-w64.
set(DEVKIT_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
