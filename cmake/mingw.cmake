# Cross-build for Windows, for the processor that mingw-i686.cmake or
# mingw-x86_64.cmake names in DEVKIT_MINGW_ARCH: clang and lld for a MinGW
# target, so that every binary gets a PDB that Visual Studio and WinDbg read,
# over mingw-w64's headers and GCC's C++ runtime, which QPDF and Exempi were
# built with.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${DEVKIT_MINGW_ARCH})
set(DEVKIT_MINGW_HOST ${DEVKIT_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${DEVKIT_MINGW_HOST})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${DEVKIT_MINGW_HOST})
set(CMAKE_RC_COMPILER ${DEVKIT_MINGW_HOST}-windres)

# GCC's C++ runtime of the posix thread model, which has std::mutex; its
# folder holds the headers and the static libraries.
execute_process(COMMAND ${DEVKIT_MINGW_HOST}-g++-posix -print-file-name=libstdc++.a
  OUTPUT_VARIABLE DEVKIT_GCC_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(DEVKIT_GCC_RUNTIME ${DEVKIT_GCC_RUNTIME} DIRECTORY)
set(DEVKIT_CXX_RUNTIME_HEADERS ${DEVKIT_GCC_RUNTIME}/include/c++)

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
# The sysroot keeps the rest of /usr/include out, which clang would otherwise
# search after mingw-w64's headers.
set(DEVKIT_BOOST_INCLUDE ${CMAKE_BINARY_DIR}/boost-include)
if(NOT EXISTS ${DEVKIT_BOOST_INCLUDE}/boost)
  file(MAKE_DIRECTORY ${DEVKIT_BOOST_INCLUDE})
  file(CREATE_LINK /usr/include/boost ${DEVKIT_BOOST_INCLUDE}/boost SYMBOLIC)
endif()
set(CMAKE_C_FLAGS_INIT "--sysroot=/usr/${DEVKIT_MINGW_HOST}")
string(JOIN " " CMAKE_CXX_FLAGS_INIT
  --sysroot=/usr/${DEVKIT_MINGW_HOST}
  -stdlib++-isystem ${DEVKIT_CXX_RUNTIME_HEADERS}
  -stdlib++-isystem ${DEVKIT_CXX_RUNTIME_HEADERS}/${DEVKIT_MINGW_HOST}
  -stdlib++-isystem ${DEVKIT_CXX_RUNTIME_HEADERS}/backward
  -isystem ${DEVKIT_BOOST_INCLUDE})

# The binaries run without the compiler's runtime DLLs, the thread library's
# among them. GCC's own start and end files (-B) register the unwind tables
# that the 32-bit runtime's exceptions need; mingw-w64's, which clang takes
# otherwise, leave them out, and every throw ends the process.
set(DEVKIT_RUNTIME_LINK "-fuse-ld=lld -static -B${DEVKIT_GCC_RUNTIME} -L${DEVKIT_GCC_RUNTIME}")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${DEVKIT_RUNTIME_LINK})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${DEVKIT_RUNTIME_LINK})
set(CMAKE_C_STANDARD_LIBRARIES "-lpthread")
set(CMAKE_CXX_STANDARD_LIBRARIES "-lpthread")
