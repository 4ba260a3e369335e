# Checks a Windows kit as make kit leaves it: the folder holds exactly the
# kit's files and its zip the same; every DLL and program carries a version
# resource of this version that names it; the 32-bit programs may use
# addresses above 2 GB; and the symbols folder holds a PDB for each binary,
# the one its debug directory names.
# Run as: cmake -DKIT=<kit folder> -DBITS=32|64 -DVERSION=<x.y.z> -DOBJDUMP=<objdump>
#           -DWINDRES=<windres> -DPDBUTIL=<llvm-pdbutil> -P check_kit.cmake
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output
    ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    list(JOIN ARGN " " line)
    message(FATAL_ERROR "${line} failed (${result}): ${errors}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

# The files below `folder`, relative and sorted; and those of its zip.
function(files_of folder out)
  file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${folder} ${folder}/*)
  list(SORT found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()
function(zip_files_of folder out)
  get_filename_component(name ${folder} NAME)
  run(${CMAKE_COMMAND} -E tar tf ${folder}.zip)
  string(REGEX MATCHALL "[^\n]+" entries "${output}")
  list(FILTER entries EXCLUDE REGEX "/$")
  list(TRANSFORM entries REPLACE "^${name}/" "")
  list(SORT entries)
  set(${out} ${entries} PARENT_SCOPE)
endfunction()

function(expect_files folder expected)
  files_of(${folder} found)
  if(NOT found STREQUAL expected)
    message(FATAL_ERROR "${folder} holds:\n${found}\nexpected:\n${expected}")
  endif()
  zip_files_of(${folder} zipped)
  if(NOT zipped STREQUAL expected)
    message(FATAL_ERROR "${folder}.zip holds:\n${zipped}\nexpected:\n${expected}")
  endif()
endfunction()

set(binaries DL100PDFL.dll docmark.dll docmark_host.exe getopt.dll walkexec.exe)
set(kit_files)
foreach(binary ${binaries})
  list(APPEND kit_files bin/${binary})
endforeach()
list(APPEND kit_files include/docmark/docmark.h lib/cmake/docmark/docmarkConfig.cmake
  lib/cmake/docmark/docmarkConfigVersion.cmake
  lib/cmake/docmark/docmarkTargets-relwithdebinfo.cmake lib/cmake/docmark/docmarkTargets.cmake
  lib/docmark.def lib/docmark.lib lib/libdocmark.dll.a share/doc/devkit/README.md
  share/doc/devkit/docmark.3.txt share/doc/devkit/docmark_host.1.txt)
foreach(licence exempi expat gcc-runtime libjpeg-turbo mingw-w64 qpdf zlib)
  list(APPEND kit_files share/doc/devkit/licenses/${licence}.txt)
endforeach()
list(APPEND kit_files share/doc/devkit/walkexec.1.txt share/doc/devkit/windows.md)
list(SORT kit_files)
expect_files(${KIT} "${kit_files}")

set(symbol_files)
foreach(binary ${binaries})
  string(REGEX REPLACE "\\.(dll|exe)$" ".pdb" pdb ${binary})
  list(APPEND symbol_files bin/${pdb})
endforeach()
list(SORT symbol_files)
expect_files(${KIT}-symbols "${symbol_files}")

foreach(binary ${binaries})
  set(file ${KIT}/bin/${binary})
  run(${WINDRES} -i ${file} -O rc)
  string(REPLACE "." "," numbers "${VERSION}")
  foreach(line "FILEVERSION ${numbers},0" "VALUE \"FileVersion\", \"${VERSION}.0\""
      "VALUE \"OriginalFilename\", \"${binary}\"" "VALUE \"FileDescription\", \"")
    string(REPLACE ", " "," found "${output}")
    string(REPLACE ", " "," line "${line}")
    string(FIND "${found}" "${line}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${binary}'s version resource lacks ${line}:\n${output}")
    endif()
  endforeach()

  run(${OBJDUMP} -p ${file})
  if(BITS EQUAL 32 AND binary MATCHES "\\.exe$" AND NOT output MATCHES "large address aware")
    message(FATAL_ERROR "${binary} is not large-address-aware")
  endif()
  string(REGEX REPLACE "\\.(dll|exe)$" ".pdb" pdb ${binary})
  if(NOT output MATCHES "RSDS signature ([0-9a-f]+) age ([0-9]+) pdb ${pdb}\\)")
    message(FATAL_ERROR "${binary} names no ${pdb} in its debug directory")
  endif()
  set(signature ${CMAKE_MATCH_1})
  set(age ${CMAKE_MATCH_2})
  run(${PDBUTIL} dump -summary ${KIT}-symbols/bin/${pdb})
  string(TOLOWER "${output}" summary)
  string(REPLACE "-" "" summary "${summary}")
  if(NOT summary MATCHES "age: ${age}\n" OR NOT summary MATCHES "guid: {${signature}}")
    message(FATAL_ERROR "${pdb} is not the PDB ${binary} names (${signature}, age ${age}):\n"
      "${output}")
  endif()
endforeach()
