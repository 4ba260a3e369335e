# Cross-build for Windows with mingw-w64, for the processor that
# mingw-i686.cmake or mingw-x86_64.cmake names in DEVKIT_MINGW_ARCH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${DEVKIT_MINGW_ARCH})
set(DEVKIT_MINGW_HOST ${DEVKIT_MINGW_ARCH}-w64-mingw32)

# The posix thread model, which has std::mutex and std::call_once.
set(CMAKE_C_COMPILER ${DEVKIT_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DEVKIT_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${DEVKIT_MINGW_HOST}-windres)

# QPDF and Exempi built for Windows by scripts/build-windows-deps.sh.
set(DEVKIT_WIN32_DEPS "" CACHE PATH "Prefix of QPDF and Exempi built for Windows")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DEVKIT_WIN32_DEPS)
set(CMAKE_FIND_ROOT_PATH ${DEVKIT_WIN32_DEPS} /usr/${DEVKIT_MINGW_HOST})
set(ENV{PKG_CONFIG_LIBDIR}
  "${DEVKIT_WIN32_DEPS}/lib/pkgconfig:/usr/${DEVKIT_MINGW_HOST}/lib/pkgconfig")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Boost is header-only: the cross compiler sees Debian's Boost headers and
# nothing else of /usr/include, through a directory that holds only them.
set(DEVKIT_BOOST_INCLUDE ${CMAKE_BINARY_DIR}/boost-include)
if(NOT EXISTS ${DEVKIT_BOOST_INCLUDE}/boost)
  file(MAKE_DIRECTORY ${DEVKIT_BOOST_INCLUDE})
  file(CREATE_LINK /usr/include/boost ${DEVKIT_BOOST_INCLUDE}/boost SYMBOLIC)
endif()
set(CMAKE_CXX_FLAGS_INIT "-isystem ${DEVKIT_BOOST_INCLUDE}")

# The binaries run without the compiler's runtime DLLs, the thread library's
# among them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
