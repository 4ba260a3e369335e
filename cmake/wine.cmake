# The Windows build's end-to-end tests run under Wine, which needs a kernel
# that runs 32-bit programs. Where it cannot (`wine --version` already fails),
# each such test is registered as skipped and says why.
execute_process(COMMAND wine --version RESULT_VARIABLE DEVKIT_WINE_RESULT
  OUTPUT_QUIET ERROR_QUIET)

# A test that runs `target` with `environment`, in which the Windows build's
# binaries are named.
function(devkit_add_wine_test name target environment)
  if(DEVKIT_WINE_RESULT EQUAL 0)
    add_test(NAME ${name} COMMAND ${target})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 1500
      LABELS "e2e;wine")
  else()
    add_test(NAME ${name} COMMAND sh -c
      "echo 'skipped: Wine cannot run here (wine --version fails: this kernel runs no 32-bit programs)'; exit 77")
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 LABELS "e2e;wine")
  endif()
endfunction()
