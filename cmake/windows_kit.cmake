# What every binary of the Windows kits gets: a version resource, a PDB
# beside it (NAME.pdb, which its debug directory names without a folder, so
# that a debugger finds it beside the binary or on a symbol path), and, for
# the 32-bit programs, the use of addresses above 2 GB.

# What each binary's version resource says it is.
set(DEVKIT_DESCRIPTION_docmark "Writes, reads and checks the optimisation tag of PDF files")
set(DEVKIT_DESCRIPTION_pdfl "PDF library stand-in over QPDF and Exempi")
set(DEVKIT_DESCRIPTION_getopt "Wide-character getopt")
set(DEVKIT_DESCRIPTION_walkexec "Executes a command on a set of files")
set(DEVKIT_DESCRIPTION_docmark_host "Sample host of docmark")
set(DEVKIT_DESCRIPTION_docmark_startup_probe "Test program: the start-up record beside it")
set(DEVKIT_DESCRIPTION_docmark_wine_probe "Test program: a host that loads docmark.dll")

function(devkit_windows_binary target)
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(DEVKIT_FILE_NAME ${name}.exe)
    set(DEVKIT_FILE_TYPE VFT_APP)
  else()
    set(DEVKIT_FILE_NAME ${name}.dll)
    set(DEVKIT_FILE_TYPE VFT_DLL)
  endif()
  set(DEVKIT_FILE_BASE ${name})
  set(DEVKIT_FILE_DESCRIPTION "${DEVKIT_DESCRIPTION_${target}}")
  if(NOT DEVKIT_FILE_DESCRIPTION)
    message(FATAL_ERROR "${target} has no description in cmake/windows_kit.cmake")
  endif()
  set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${resource} @ONLY)
  target_sources(${target} PRIVATE ${resource})

  # lld writes the PDB from clang's CodeView; the DWARF that GCC left in the
  # static libraries linked in goes, as neither debugger reads it.
  target_link_options(${target} PRIVATE -Wl,--pdb= "-Wl,-Xlink=-pdbaltpath:%_PDB%")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --strip-debug $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

# A program: the kit's manifest (program.manifest) besides.
function(devkit_windows_program target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/program.rc)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/cmake/program.rc PROPERTIES
    OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/program.manifest)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    target_link_options(${target} PRIVATE -Wl,--large-address-aware)
  endif()
  devkit_windows_binary(${target})
endfunction()

# Debug information as CodeView, which lld turns into the PDB.
add_compile_options(-gcodeview)
