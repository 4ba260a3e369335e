# Installs the kit into a scratch prefix, tags a sample with the installed
# sample host, and builds and runs install_check against the kit: through
# find_package, and through pkg-config as C++11 and as C11, each with
# -pedantic -Werror.
# Run as: cmake -DBUILD=<build dir> -DSOURCE=<source dir> -DWORK=<scratch dir>
#           -DLIBDIR=<library folder> -DCXX=<compiler> -DCC=<compiler> -DNM=<nm>
#           -P check_install.cmake
set(kit ${WORK}/kit)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE result
    OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    list(JOIN ARGN " " line)
    message(FATAL_ERROR "${line} failed (${result}):\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${kit})
foreach(file include/docmark/docmark.h ${LIBDIR}/libdocmark.so ${LIBDIR}/libdocmark.so.7
    ${LIBDIR}/libpdfl.so.7 ${LIBDIR}/libgetopt.so.7 bin/docmark_host bin/walkexec
    ${LIBDIR}/cmake/docmark/docmarkConfig.cmake ${LIBDIR}/cmake/docmark/docmarkConfigVersion.cmake
    ${LIBDIR}/pkgconfig/docmark.pc share/man/man1/walkexec.1 share/man/man1/docmark_host.1
    share/man/man3/docmark.3)
  if(NOT EXISTS ${kit}/${file})
    message(FATAL_ERROR "cmake --install did not install ${file}")
  endif()
endforeach()

# The stand-in as installed exports its entry points and no testing controls.
run(${NM} -D --defined-only ${kit}/${LIBDIR}/libpdfl.so.7)
if(output MATCHES "pdfl_testing")
  message(FATAL_ERROR "the installed libpdfl exports its testing controls:\n${output}")
endif()
run(${kit}/bin/walkexec -p one-page.pdf -c "true @path" ${SOURCE}/samples/pdf)

file(COPY_FILE ${SOURCE}/samples/pdf/one-page.pdf ${WORK}/tagged.pdf)
run(${kit}/bin/docmark_host write -S ${WORK}/tagged.pdf)

set(check_source ${SOURCE}/examples/install_check)
run(${CMAKE_COMMAND} -S ${check_source} -B ${WORK}/by-cmake -DCMAKE_PREFIX_PATH=${kit}
  -DCMAKE_CXX_COMPILER=${CXX})
run(${CMAKE_COMMAND} --build ${WORK}/by-cmake)
run(${WORK}/by-cmake/install_check)
if(NOT output STREQUAL "tagged by 7.9.9\n")
  message(FATAL_ERROR "install_check built by find_package said: ${output}")
endif()

run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${kit}/${LIBDIR}/pkgconfig
  pkg-config --cflags --libs docmark)
separate_arguments(flags UNIX_COMMAND "${output}")
set(strict -pedantic -Werror -Wall -Wextra -Wl,-rpath,${kit}/${LIBDIR})
run(${CXX} -std=c++11 ${strict} ${check_source}/install_check.cpp ${flags} -o ${WORK}/by-pkg-config)
run(${WORK}/by-pkg-config)
if(NOT output STREQUAL "tagged by 7.9.9\n")
  message(FATAL_ERROR "install_check built by pkg-config said: ${output}")
endif()

file(COPY_FILE ${SOURCE}/samples/pdf/one-page.pdf ${WORK}/c.pdf)
run(${CC} -std=c11 ${strict} ${check_source}/install_check.c ${flags} -o ${WORK}/in-c)
run(${WORK}/in-c)
if(NOT output STREQUAL "tagged by 7.9.9 with mode 3\n")
  message(FATAL_ERROR "install_check in C said: ${output}")
endif()
