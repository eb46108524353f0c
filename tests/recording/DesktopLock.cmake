# Tests that use the bench's one screen (windows, the pointer) take turns.
function(vantor_gdi_lock_desktop name)
  if(NOT BUILD_TESTING)
    return()
  endif()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}_desktop.cmake)
  file(WRITE ${script}
    "if(DEFINED ${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES RESOURCE_LOCK desktop)\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()
