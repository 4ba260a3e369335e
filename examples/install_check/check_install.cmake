# Installs the kit into a scratch prefix, tags a sample with the installed
# sample host, and builds and runs install_check against the kit twice:
# through find_package and through pkg-config.
# Run as: cmake -DBUILD=<build dir> -DSOURCE=<source dir> -DWORK=<scratch dir>
#           -DCXX=<compiler> -P check_install.cmake
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
foreach(file include/docmark/docmark.h lib/libdocmark.so lib/libpdfl.so bin/docmark_host
    lib/cmake/docmark/docmarkConfig.cmake lib/cmake/docmark/docmarkConfigVersion.cmake
    lib/pkgconfig/docmark.pc)
  if(NOT EXISTS ${kit}/${file})
    message(FATAL_ERROR "cmake --install did not install ${file}")
  endif()
endforeach()

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

run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${kit}/lib/pkgconfig
  pkg-config --cflags --libs docmark)
separate_arguments(flags UNIX_COMMAND "${output}")
run(${CXX} -std=c++17 ${check_source}/install_check.cpp ${flags} -Wl,-rpath,${kit}/lib
  -o ${WORK}/by-pkg-config)
run(${WORK}/by-pkg-config)
if(NOT output STREQUAL "tagged by 7.9.9\n")
  message(FATAL_ERROR "install_check built by pkg-config said: ${output}")
endif()
