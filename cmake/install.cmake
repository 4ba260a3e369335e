# cmake --install: the developer kit a host builds against. The header, the
# library and, on Linux, the PDF library stand-in beside it (found through
# the library's $ORIGIN run path) and the sample host, with a CMake package
# (find_package(docmark)) and a pkg-config file. The sample host looks for the
# library in ../lib, so the folders are fixed.
include(CMakePackageConfigHelpers)

target_include_directories(docmark INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/vtpdf/docmark/include>
  $<INSTALL_INTERFACE:include>)

install(TARGETS docmark EXPORT docmarkTargets
  RUNTIME DESTINATION bin
  LIBRARY DESTINATION lib
  ARCHIVE DESTINATION lib)
install(FILES ${PROJECT_SOURCE_DIR}/vtpdf/docmark/include/docmark/docmark.h
  DESTINATION include/docmark)
if(NOT WIN32)
  # In the export set only so that a host's link finds libdocmark's dependency.
  install(TARGETS pdfl EXPORT docmarkTargets LIBRARY DESTINATION lib)
  install(TARGETS docmark_host RUNTIME DESTINATION bin)
endif()

install(EXPORT docmarkTargets NAMESPACE docmark:: DESTINATION lib/cmake/docmark)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/docmarkConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/docmarkConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/docmarkConfigVersion.cmake
  DESTINATION lib/cmake/docmark)

configure_file(${PROJECT_SOURCE_DIR}/cmake/docmark.pc.in ${CMAKE_CURRENT_BINARY_DIR}/docmark.pc
  @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/docmark.pc DESTINATION lib/pkgconfig)
