# Build helpers shared by every folder.

set(VANTOR_DIST_DIR ${CMAKE_SOURCE_DIR}/dist/Vantor CACHE PATH "program folder laid out for users")

macro(vantor_setup_toolchain)
  if(VANTOR_TARGET STREQUAL "native")
    set(VANTOR_WINDOWS OFF)
    add_compile_options(-Wall -Wextra -Wno-unused-parameter)
    # The 32-bit programs once did their arithmetic on the x87 unit, whose 80-bit
    # intermediates round differently from SSE2's 64-bit ones. The products are built
    # for SSE2 now; this variant keeps the portable code honest on a machine that
    # cannot execute 32-bit code, by doing the host's double arithmetic on the x87.
    # -msse3 matters: it lets a conversion to an integer truncate the 80-bit value
    # itself (fisttp) as 32-bit code does, where without it the value would first be
    # rounded to a 64-bit double for an SSE2 conversion and hide the difference.
    if(VANTOR_X87)
      add_compile_options(-mfpmath=387 -msse3)
    endif()
    if(VANTOR_SANITIZE)
      add_compile_options(-fsanitize=${VANTOR_SANITIZE} -fno-omit-frame-pointer -g)
      add_link_options(-fsanitize=${VANTOR_SANITIZE})
    endif()
  else()
    set(VANTOR_WINDOWS ON)
    add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                            _WIN32_WINNT=0x0601 WINVER=0x0601)
    add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
    if(VANTOR_TARGET STREQUAL "win32")
      # SSE2 arithmetic, as in the 64-bit build (every Windows 7 machine has it), so that
      # both bitnesses compute alike. Windows keeps 32-bit stacks only 4-byte aligned:
      # realign where SSE needs more.
      add_compile_options(-msse2 -mfpmath=sse -mstackrealign)
    endif()
    # Fully static: no MinGW runtime DLL has to ship beside the programs.
    add_link_options(-static -static-libgcc -static-libstdc++)
  endif()
  # The name in front of every test: the target, and the arithmetic variant if any.
  if(VANTOR_X87)
    set(VANTOR_SUITE ${VANTOR_TARGET}-x87)
  else()
    set(VANTOR_SUITE ${VANTOR_TARGET})
  endif()
  if(VANTOR_TARGET STREQUAL "win64")
    set(VANTOR_BITS 64)
  elseif(VANTOR_TARGET STREQUAL "win32")
    set(VANTOR_BITS 32)
  else()
    set(VANTOR_BITS 0)
  endif()
  # The hook library of this build's bitness: the one place that picks it.
  if(VANTOR_BITS EQUAL 64)
    set(VANTOR_OSTREL OstrelX64)
  elseif(VANTOR_BITS EQUAL 32)
    set(VANTOR_OSTREL Ostrel)
  else()
    set(VANTOR_OSTREL "")
  endif()
endmacro()

macro(vantor_setup_googletest)
  if(BUILD_TESTING)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL SYSTEM)
    include(GoogleTest)
  endif()
endmacro()

# vantor_test(NAME name SOURCES ... [LIBS ...] [LABELS ...] [WORKING_DIRECTORY dir] [TIMEOUT s])
# One GoogleTest executable; every test case becomes a CTest test, discovered when
# the tests run (through Wine for the Windows builds).
function(vantor_test)
  cmake_parse_arguments(T "" "NAME;WORKING_DIRECTORY;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT BUILD_TESTING)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  target_compile_definitions(${T_NAME} PRIVATE
    VANTOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}" VANTOR_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(NOT T_WORKING_DIRECTORY)
    set(T_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  gtest_discover_tests(${T_NAME}
    TEST_PREFIX "${VANTOR_SUITE}."
    WORKING_DIRECTORY ${T_WORKING_DIRECTORY}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT ${T_TIMEOUT})
  # Properties handed to gtest_discover_tests lose every list element but the first, so
  # the labels are set once the cases are known, by a script CTest includes after the
  # discovery's own.
  set(labels "${VANTOR_TARGET};${T_LABELS}")
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_labels.cmake)
  file(WRITE ${script}
    "if(DEFINED ${T_NAME}_TESTS)\n"
    "  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES LABELS \"${labels}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()

# Copies a built program or library into the user's program folder.
function(vantor_install_to_dist target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTOR_DIST_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${VANTOR_DIST_DIR}/
    VERBATIM)
endfunction()
