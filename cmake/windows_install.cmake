# The Windows kit's own part of the install (cmake/install.cmake has the
# rest): the DLLs and programs without their import libraries, docmark's
# import library for MSVC's linker and its .def file, the documents, and the
# PDBs apart.
set(DEVKIT_KIT_BINARIES walkexec getopt pdfl docmark docmark_host)
foreach(binary walkexec getopt pdfl docmark_host)
  install(PROGRAMS $<TARGET_FILE:${binary}> DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/lib/docmark.lib ${PROJECT_SOURCE_DIR}/docmark/docmark.def
  DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(binary ${DEVKIT_KIT_BINARIES})
  install(FILES $<TARGET_FILE_DIR:${binary}>/$<TARGET_FILE_BASE_NAME:${binary}>.pdb
    DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT symbols EXCLUDE_FROM_ALL)
endforeach()

# The man pages as plain text with Windows line ends, for a reader without
# man; the README and the Windows page as they are.
set(DEVKIT_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/devkit)
set(DEVKIT_MAN_TEXTS)
foreach(page walkexec.1 docmark_host.1 docmark.3)
  set(text ${CMAKE_BINARY_DIR}/doc/${page}.txt)
  add_custom_command(OUTPUT ${text}
    COMMAND ${CMAKE_COMMAND} -DPAGE=${PROJECT_SOURCE_DIR}/man/${page} -DTEXT=${text}
      -P ${PROJECT_SOURCE_DIR}/cmake/man_to_text.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/man/${page} ${PROJECT_SOURCE_DIR}/cmake/man_to_text.cmake)
  list(APPEND DEVKIT_MAN_TEXTS ${text})
endforeach()
add_custom_target(man_texts ALL DEPENDS ${DEVKIT_MAN_TEXTS})
install(FILES ${DEVKIT_MAN_TEXTS} ${PROJECT_SOURCE_DIR}/README.md
  ${PROJECT_SOURCE_DIR}/docs/windows.md DESTINATION ${DEVKIT_DOC_DIR})

# The licences of what the binaries hold besides the kit's own code, as the
# Debian packages of the same sources state them.
foreach(entry qpdf:libqpdf-dev exempi:libexempi-dev expat:libexpat1
    libjpeg-turbo:libjpeg62-turbo zlib:libz-mingw-w64-dev mingw-w64:mingw-w64-common
    gcc-runtime:gcc-mingw-w64-base)
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 name)
  list(GET entry 1 package)
  set(copyright /usr/share/doc/${package}/copyright)
  if(NOT EXISTS ${copyright})
    message(FATAL_ERROR "${copyright} is missing: the kit needs ${package}'s licence")
  endif()
  install(FILES ${copyright} DESTINATION ${DEVKIT_DOC_DIR}/licenses RENAME ${name}.txt)
endforeach()
