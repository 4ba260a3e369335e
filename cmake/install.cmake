# cmake --install (or make install PREFIX=<dir>): the developer kit. walkexec
# with its getopt library; the docmark header and library, the PDF library
# stand-in beside it and the sample host; a CMake package
# (find_package(docmark)) and the man pages.
#
# On Linux the folders are GNUInstallDirs', so a multiarch library folder
# works: the programs find their libraries relative to themselves, and a
# pkg-config file comes besides. On Windows the kit is laid out as a Windows
# developer unpacks one (make kit): bin holds the DLLs and programs, lib the
# import libraries, the .def file and the CMake package, share/doc the
# README, the licences and the man pages as text; the PDBs are the component
# "symbols", installed apart.
include(CMakePackageConfigHelpers)

target_include_directories(docmark INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/docmark/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(FILES ${PROJECT_SOURCE_DIR}/docmark/include/docmark/docmark.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/docmark)
install(TARGETS docmark EXPORT docmarkTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})

if(WIN32)
  include(${PROJECT_SOURCE_DIR}/cmake/windows_install.cmake)
else()
  install(TARGETS walkexec getopt
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_SKIP)
  # In the export set only so that a host's link finds libdocmark's dependency.
  install(TARGETS pdfl EXPORT docmarkTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_SKIP)
  install(TARGETS docmark_host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/man/walkexec.1 ${PROJECT_SOURCE_DIR}/man/docmark_host.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/man/docmark.3 DESTINATION ${CMAKE_INSTALL_MANDIR}/man3)

  # The pkg-config file finds the prefix relative to itself, so the kit can
  # move.
  file(RELATIVE_PATH DOCMARK_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/docmark.pc.in ${CMAKE_CURRENT_BINARY_DIR}/docmark.pc
    @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/docmark.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()

set(DOCMARK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/docmark)
install(EXPORT docmarkTargets NAMESPACE docmark:: DESTINATION ${DOCMARK_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/docmarkConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/docmarkConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/docmarkConfigVersion.cmake
  DESTINATION ${DOCMARK_CMAKE_DIR})
