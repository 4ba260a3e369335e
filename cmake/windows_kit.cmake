# What every binary of the Windows kits gets.

# Ships stripped, with its debug information in a file beside it
# (docmark.dll.debug for docmark.dll), which the binary names in its
# .gnu_debuglink section so that a debugger finds it.
function(devkit_split_debug target)
  set(binary $<TARGET_FILE:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${binary} ${binary}.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${binary}.debug ${binary}
    VERBATIM)
endfunction()

# A program: the kit's manifest (program.manifest) besides.
function(devkit_windows_program target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/program.rc)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/cmake/program.rc PROPERTIES
    OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/program.manifest)
  devkit_split_debug(${target})
endfunction()
