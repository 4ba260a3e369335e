# Checks a Windows build of the library: a DLL of the expected format
# (pei-i386 or pei-x86-64) that exports its three functions by undecorated
# name, and imports the PDF library's three entry points by name from
# DL100PDFL.dll.
# Run as: cmake -DOBJDUMP=<objdump> -DLIBRARY=<docmark.dll> -DFORMAT=<format> -P check_dll.cmake
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p failed on ${LIBRARY}")
endif()
if(NOT dump MATCHES "file format ${FORMAT}\n")
  message(FATAL_ERROR "${LIBRARY} is not a ${FORMAT} Windows DLL")
endif()

# Export names are listed as "[   0] Name" after the name pointer table's heading.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" table "${dump}")
string(REGEX MATCHALL "\t[[] *[0-9]+[]] [^\n]+" entries "${table}")
list(TRANSFORM entries REPLACE ".* " "")
set(expected VTPDFTagIsAlreadyOptimized VTPDFTagRead VTPDFTagWrite)
if(NOT entries STREQUAL expected)
  message(FATAL_ERROR "${LIBRARY} exports: ${entries}\nexpected exactly: ${expected}")
endif()

# The import block of DL100PDFL.dll: one "vma hint name" line per name import;
# an import by ordinal would show no name.
string(REGEX MATCH "DLL Name: DL100PDFL\\.dll\n[^\n]*\n([^\n]+\n)*" block "${dump}")
string(REGEX MATCHALL "\n\t[0-9a-f]+\t +[0-9]+  [A-Za-z]+" lines "${block}")
list(TRANSFORM lines REPLACE ".* " "")
list(SORT lines)
set(expected PDFLGetCoreHFT PDFLInit PDFLInitThreadLocalData)
if(NOT lines STREQUAL expected)
  message(FATAL_ERROR "${LIBRARY} imports from DL100PDFL.dll: ${lines}\nexpected by name: ${expected}")
endif()
