# The program's pictures are drawn at build time from the drawing scripts in the
# source tree, so no picture is kept in the repository.
find_program(VANTOR_CONVERT NAMES convert-im6.q16 convert REQUIRED
             DOC "ImageMagick's convert (tools/install-deps installs it)")

# vantor_artwork(OUT_LIST DIR dir PICTURES script:size:kind:output ...)
# Adds one build rule per picture and appends the outputs (in DIR) to OUT_LIST.
function(vantor_artwork out_list)
  cmake_parse_arguments(A "" "DIR" "PICTURES" ${ARGN})
  set(outputs ${${out_list}})
  foreach(picture IN LISTS A_PICTURES)
    string(REPLACE ":" ";" fields "${picture}")
    list(GET fields 0 script)
    list(GET fields 1 size)
    list(GET fields 2 kind)
    list(GET fields 3 name)
    set(out ${A_DIR}/${name})
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -DCONVERT=${VANTOR_CONVERT} -DSCRIPT=${script} -DSIZE=${size}
              -DKIND=${kind} -DOUT=${out} -P ${CMAKE_SOURCE_DIR}/cmake/DrawArtwork.cmake
      DEPENDS ${script} ${CMAKE_SOURCE_DIR}/cmake/DrawArtwork.cmake
      COMMENT "Drawing ${name}"
      VERBATIM)
    list(APPEND outputs ${out})
  endforeach()
  set(${out_list} ${outputs} PARENT_SCOPE)
endfunction()
