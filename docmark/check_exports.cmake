# Checks that the shared library exports its three functions and nothing
# else. Run as: cmake -DNM=<nm> -DLIBRARY=<libdocmark.so> -P check_exports.cmake
set(expected VTPDFTagIsAlreadyOptimized VTPDFTagRead VTPDFTagWrite)

execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()

# Each line is "address type name"; keep the names.
string(REGEX MATCHALL "[^ \n]+\n" lines "${symbols}")
set(names)
foreach(line IN LISTS lines)
  string(STRIP "${line}" name)
  list(APPEND names ${name})
endforeach()
list(SORT names)

if(NOT names STREQUAL expected)
  message(FATAL_ERROR "${LIBRARY} exports: ${names}\nexpected exactly: ${expected}")
endif()
