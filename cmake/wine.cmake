# The Windows builds' tests: the end-to-end tests under Wine, once per build
# named (the 32-bit one and the 64-bit one, each in a Wine prefix of its own),
# and the check of each kit that make kit made.
set(DEVKIT_WIN32_BIN "" CACHE PATH "bin folder of the 32-bit Windows build to test under Wine")
set(DEVKIT_WIN64_BIN "" CACHE PATH "bin folder of the 64-bit Windows build to test under Wine")

# Sets `out` to why Wine cannot run `bits`-bit programs here, or to empty when
# it can. Debian installs each loader in /usr/lib/wine; the 32-bit one is a
# 32-bit program, which a kernel without IA-32 emulation cannot start.
function(devkit_wine_cannot_run bits out)
  if(bits EQUAL 32)
    set(loader /usr/lib/wine/wine)
    set(package wine32)
  else()
    set(loader /usr/lib/wine/wine64)
    set(package wine64)
  endif()
  if(NOT EXISTS ${loader})
    set(${out} "${package} is not installed (${loader})" PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND ${loader} --version RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(NOT result EQUAL 0)
    set(${out} "${loader} --version fails: this kernel runs no ${bits}-bit programs" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()
devkit_wine_cannot_run(32 DEVKIT_WINE32_CANNOT)
devkit_wine_cannot_run(64 DEVKIT_WINE64_CANNOT)

# Adds `name`32 and `name`64, for each kit named: `target` run under Wine with
# `environment`, in which @BIN@ stands for the kit's bin folder. Where Wine
# cannot run that kit's programs, the test is registered as skipped and says why.
function(devkit_add_wine_tests name target environment)
  foreach(bits 32 64)
    set(bin ${DEVKIT_WIN${bits}_BIN})
    if(NOT bin)
      continue()
    endif()
    set(test ${name}${bits})
    set(cannot ${DEVKIT_WINE${bits}_CANNOT})
    if(cannot)
      add_test(NAME ${test} COMMAND sh -c "echo 'skipped: Wine cannot run the ${bits}-bit kit here: ${cannot}'; exit 77")
      set_tests_properties(${test} PROPERTIES SKIP_RETURN_CODE 77 LABELS "e2e;wine")
      continue()
    endif()
    string(REPLACE "@BIN@" ${bin} kit "${environment}")
    add_test(NAME ${test} COMMAND ${target})
    set_tests_properties(${test} PROPERTIES
      ENVIRONMENT "${kit};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=;WINEARCH=win${bits};WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix${bits}"
      TIMEOUT 1500 LABELS "e2e;wine")
  endforeach()
endfunction()

# Each kit as make kit leaves it, when one is named: its files, version
# resources and PDBs.
set(DEVKIT_WIN32_KIT "" CACHE PATH "The 32-bit Windows kit's folder, from make kit")
set(DEVKIT_WIN64_KIT "" CACHE PATH "The 64-bit Windows kit's folder, from make kit")
foreach(bits 32 64)
  if(DEVKIT_WIN${bits}_KIT)
    find_program(DEVKIT_WINDRES x86_64-w64-mingw32-windres REQUIRED)
    find_program(DEVKIT_PDBUTIL NAMES llvm-pdbutil llvm-pdbutil-14 REQUIRED)
    add_test(NAME windows_kit${bits} COMMAND ${CMAKE_COMMAND} -DKIT=${DEVKIT_WIN${bits}_KIT}
      -DBITS=${bits} -DVERSION=${PROJECT_VERSION} -DOBJDUMP=${CMAKE_OBJDUMP}
      -DWINDRES=${DEVKIT_WINDRES} -DPDBUTIL=${DEVKIT_PDBUTIL}
      -P ${PROJECT_SOURCE_DIR}/cmake/check_kit.cmake)
    set_tests_properties(windows_kit${bits} PROPERTIES LABELS install)
  endif()
endforeach()
